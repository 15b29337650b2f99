// The simulated Steam's own functions as the program's function table, taken by address so that the
// compiler checks every type. Shared by the in-process tests, the fuzz targets and the benchmarks,
// which link the simulator's static library.
#pragma once

#include "steam/library.h"

namespace quennet::test {

inline SteamApi simulated_api() {
#define QUENNET_SIM_ADDRESS(name) &::name,
  return SteamApi{QUENNET_STEAM_FUNCTIONS(QUENNET_SIM_ADDRESS)};
#undef QUENNET_SIM_ADDRESS
}

}  // namespace quennet::test
