// The simulated Steam as the in-process tests, the fuzz targets and the benchmarks use it, linking
// the simulator's static library: its functions as the program's function table, and its call log.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "sim/call_log.h"
#include "sim/control.h"
#include "steam/library.h"

namespace quennet::test {

// The simulator's own functions, taken by address so that the compiler checks every type.
inline SteamApi simulated_api() {
#define QUENNET_SIM_ADDRESS(name) &::name,
  return SteamApi{QUENNET_STEAM_FUNCTIONS(QUENNET_SIM_ADDRESS)};
#undef QUENNET_SIM_ADDRESS
}

// The simulator's call log is read here alone: split into its lines, counted and searched.

// The simulator's calls since the scenario was loaded, one per line.
inline std::vector<std::string> sim_log() {
  std::vector<std::string> lines;
  const std::string log = steam_sim::call_log();
  std::size_t start = 0;
  while (start < log.size()) {
    const std::size_t end = log.find('\n', start);
    lines.push_back(log.substr(start, end - start));
    start = end == std::string::npos ? log.size() : end + 1;
  }
  return lines;
}

// How many calls sim_log() holds, without splitting the log (every line ends in a line feed).
inline std::size_t sim_log_size() {
  const std::string log = steam_sim::call_log();
  return static_cast<std::size_t>(std::count(log.begin(), log.end(), '\n'));
}

// Counts lines of `log` that begin with `prefix`.
inline std::size_t count_calls(const std::vector<std::string>& log, std::string_view prefix) {
  std::size_t count = 0;
  for (const std::string& line : log) count += line.rfind(prefix, 0) == 0 ? 1 : 0;
  return count;
}

// The lines of `log` that begin with one of `prefixes`, each without its " -> result" part.
inline std::vector<std::string> calls_of(const std::vector<std::string>& log,
                                         const std::vector<std::string_view>& prefixes) {
  std::vector<std::string> calls;
  for (const std::string& line : log) {
    for (const std::string_view prefix : prefixes) {
      if (line.rfind(prefix, 0) != 0) continue;
      calls.push_back(line.substr(0, line.find(steam_sim::RESULT_SEPARATOR)));
      break;
    }
  }
  return calls;
}

}  // namespace quennet::test
