// Writing records to standard output.
#pragma once

#include <functional>

#include "protocol/event.h"

namespace quennet {

// Writes `event` as one line to standard output: serialised completely in memory, then written with
// its line feed and handed to the OS, all under the process-wide standard-output lock, so records
// never interleave. A failed write is ignored. A record that cannot be serialised is a fatal
// internal error, and nothing of it is written.
void emit(Event event);

// Where operations write their records: `emit` in the program, a recorder in tests.
using RecordSink = std::function<void(Event)>;

}  // namespace quennet
