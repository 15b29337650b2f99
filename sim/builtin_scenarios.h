// The worlds the simulator plays without a scenario file: the demo world, and a world that only
// fails to initialise, for a scenario, log or state file that cannot be used.
#pragma once

#include <string>

#include "sim/scenario.h"

namespace steam_sim {

// The world played when no scenario is given.
Scenario demo_scenario();

// A world whose SteamAPI_InitFlat fails with `message`, made one line and cut to what the init
// message buffer holds.
Scenario failing_scenario(std::string message);

}  // namespace steam_sim
