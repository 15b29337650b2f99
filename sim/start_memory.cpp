// How the static library starts: the demo world with the log in memory, until a test loads a
// scenario of its own.
#include "sim/builtin_scenarios.h"
#include "sim/sim.h"

namespace steam_sim {

void start(Sim& sim) { sim.start_over(demo_scenario(), CallLog::in_memory()); }

}  // namespace steam_sim
