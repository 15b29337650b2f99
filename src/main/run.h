// The run driver: one command from the command line to the exit status.
#pragma once

#include <span>
#include <string>

#include "platform/clock.h"
#include "protocol/emit.h"
#include "steam/session.h"

namespace quennet {

// What a run touches of the world, so that tests can run it whole, in-process.
struct RunContext {
  SteamLoading steam;
  platform::Clock clock;
  RecordSink emit;
};

// The OS environment, the Steam library beside the executable, the monotonic clock, standard output.
RunContext production_context();

// Parses `args` (the arguments after the program path), opens the Steam session, writes Ready, runs
// the command, writes Done on success and shuts Steam down. Returns the exit status: 0 exactly when
// Done was written, 1 otherwise.
int run(std::span<const char* const> args, const RunContext& context);

}  // namespace quennet
