// Control of the simulated Steam client for in-process tests (the static library steam_sim_static).
// The shared library has no such interface: it reads STEAM_SIM_SCENARIO and STEAM_SIM_LOG instead.
#pragma once

#include <string>
#include <string_view>

namespace steam_sim {

// Starts a new world from scenario JSON (empty text: the built-in demo world) and forgets
// everything else: passes, handles, queued messages, initialisation and shutdown, the log. Returns
// "" on success, or a one-line reason; the world then fails SteamAPI_InitFlat with that reason.
std::string load_scenario(std::string_view json);

// The calls made since the last load_scenario, one line each, each ending in "\n".
std::string call_log();

}  // namespace steam_sim
