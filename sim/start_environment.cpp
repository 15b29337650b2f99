// How the shared library starts: on its first call it reads the scenario named by
// STEAM_SIM_SCENARIO (unset: the demo world), lays the items of the state file named by
// STEAM_SIM_STATE over it (unset: none) and opens the log named by STEAM_SIM_LOG (unset: no log).
// What goes wrong is told through SteamAPI_InitFlat, the one place a caller looks.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "sim/builtin_scenarios.h"
#include "sim/os.h"
#include "sim/scenario_json.h"
#include "sim/sim.h"
#include "sim/state_file.h"
#include "sim/whole_file.h"

namespace steam_sim {

namespace {

Scenario scenario_from_environment() {
  const std::optional<std::string> path = os::environment_variable("STEAM_SIM_SCENARIO");
  if (!path) return demo_scenario();
  std::string json;
  std::string error = read_whole_file(*path, json);
  Scenario scenario;
  if (error.empty()) error = parse_scenario(json, scenario);
  if (!error.empty()) {
    return failing_scenario("steam_sim: cannot use scenario " + *path + ": " + error);
  }
  return scenario;
}

}  // namespace

void start(Sim& sim) {
  Scenario scenario = scenario_from_environment();
  CallLog log;
  if (const std::optional<std::string> path = os::environment_variable("STEAM_SIM_LOG")) {
    // Binary mode: the lines end in LF on every OS.
    os::File file = os::open_file(*path, "wb");
    if (file) {
      log = CallLog::to_file(std::move(file));
    } else {
      // A test that asked for a log would otherwise fail far from the cause.
      const std::string reason = std::strerror(errno);
      scenario = failing_scenario("steam_sim: cannot write log " + *path + ": " + reason);
    }
  }
  // The state file last: its lock is held until shutdown, and a run that fails before it needs no
  // turn with the file.
  auto state = std::make_shared<StateFile>();
  if (const std::optional<std::string> path = os::environment_variable("STEAM_SIM_STATE")) {
    if (scenario.init_result == 0) {
      state->path = *path;
      const std::string error = load_state(*state, scenario);
      if (!error.empty()) scenario = failing_scenario("steam_sim: " + error);
    }
  }
  sim.start_over(std::move(scenario), std::move(log));
  if (state->lock) {
    // Saved after every pass too: a host that ends quennet in the middle of a download (a player
    // who cancels) leaves Steam downloading, and the next run must find it so.
    sim.after_pass = [state](const World& world) {
      const std::string error = write_state(*state, world);
      if (!error.empty() && !state->said_write_error) {
        state->said_write_error = true;
        std::fprintf(stderr, "steam_sim: %s\n", error.c_str());
      }
    };
    sim.at_shutdown = [state](const World& world) {
      const std::string error = save_state(*state, world);
      // Said on standard error: the caller has finished with Steam and looks nowhere else now.
      if (!error.empty()) std::fprintf(stderr, "steam_sim: %s\n", error.c_str());
    };
  }
}

}  // namespace steam_sim
