// In-process tests against the simulated Steam: the simulator's functions as the program's function
// table, a virtual clock, and a recorder for the records a run writes.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "protocol/emit.h"
#include "steam/session.h"
#include "support/simulated_api.h"
#include "support/virtual_clock.h"

namespace quennet::test {

// Sets the environment for real and records each setting, then hands out simulated_api().
SteamPlatform simulated_platform();
// "SteamAppId=221100" and so on, then "load", in the order the session did them.
std::vector<std::string>& platform_calls();

// Starts the simulator's world afresh from `json` (empty: the demo world); a bad scenario fails the
// test.
void load_scenario(std::string_view json);
// A session on the current scenario; the test fails when it cannot be opened.
SteamClient open_session();

// Records as the lines `emit` would write, each also noting how many simulator calls preceded it
// and, given a clock, when it was written.
struct Recorder {
  const VirtualClock* clock = nullptr;
  std::vector<std::string> lines;
  std::vector<std::size_t> log_positions;
  std::vector<platform::Nanoseconds> times;
  RecordSink emit();
};

// Counts lines of `log` that begin with `prefix`.
std::size_t count_calls(const std::vector<std::string>& log, std::string_view prefix);

}  // namespace quennet::test
