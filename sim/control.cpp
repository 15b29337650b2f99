#include "sim/control.h"

#include "sim/builtin_scenarios.h"
#include "sim/scenario_json.h"
#include "sim/sim.h"

namespace steam_sim {

std::string load_scenario(std::string_view json) {
  Scenario scenario;
  std::string error;
  if (json.empty()) {
    scenario = demo_scenario();
  } else {
    error = parse_scenario(json, scenario);
  }
  if (!error.empty()) scenario = failing_scenario("steam_sim: cannot use scenario: " + error);

  std::lock_guard<std::mutex> hold(sim_mutex());
  the_sim().start_over(std::move(scenario), CallLog::in_memory());
  return error;
}

std::string call_log() {
  std::lock_guard<std::mutex> hold(sim_mutex());
  return the_sim().log.memory();
}

}  // namespace steam_sim
