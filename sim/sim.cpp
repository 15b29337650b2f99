#include "sim/sim.h"

namespace steam_sim {

void Sim::start_over(Scenario scenario, CallLog new_log) {
  started = false;  // until there is a world again
  world.reset();    // World cannot be assigned; build the new one in place
  world.emplace(std::move(scenario));
  log = std::move(new_log);
  phase = Phase::BeforeInit;
  manual_dispatch = false;
  after_pass = nullptr;
  at_shutdown = nullptr;
  started = true;
}

// Both live until the process ends, never destroyed: a caller may still call SteamAPI_Shutdown from
// its own static destructors, after ours would have run. The log is flushed line by line, so
// nothing is lost by never closing it.
Sim& the_sim() {
  static Sim* sim = new Sim;
  return *sim;
}

std::mutex& sim_mutex() {
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}

}  // namespace steam_sim
