// The one simulated Steam client of the process: its world, its log and where the caller stands in
// the library's life cycle. Every exported function works on it under its lock.
#pragma once

#include <functional>
#include <mutex>
#include <optional>

#include "sim/call_log.h"
#include "sim/scenario.h"
#include "sim/world.h"

namespace steam_sim {

enum class Phase { BeforeInit, InitFailed, Running, ShutDown };

struct Sim {
  bool started = false;
  std::optional<World> world;
  CallLog log;
  Phase phase = Phase::BeforeInit;
  bool manual_dispatch = false;
  std::function<void(const World&)> after_pass;   // what each pass also does, once the world has moved
  std::function<void(const World&)> at_shutdown;  // what a successful SteamAPI_Shutdown also does

  // Forgets everything and starts over with `scenario`.
  void start_over(Scenario scenario, CallLog new_log);
};

Sim& the_sim();
std::mutex& sim_mutex();

// Gives the sim its scenario and its log on first use. Each build of the library defines this its
// own way: the static library plays the demo world until a test loads a scenario, the shared
// library reads its environment.
void start(Sim& sim);

}  // namespace steam_sim
