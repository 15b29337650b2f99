// The simulated Steam as the in-process tests, the fuzz targets and the benchmarks use it, linking
// the simulator's static library: its functions as the program's function table, and its call log.
#pragma once

#include <string>
#include <vector>

#include "sim/control.h"
#include "steam/library.h"

namespace quennet::test {

// The simulator's own functions, taken by address so that the compiler checks every type.
inline SteamApi simulated_api() {
#define QUENNET_SIM_ADDRESS(name) &::name,
  return SteamApi{QUENNET_STEAM_FUNCTIONS(QUENNET_SIM_ADDRESS)};
#undef QUENNET_SIM_ADDRESS
}

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

}  // namespace quennet::test
