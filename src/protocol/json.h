// The exact bytes of a record.
#pragma once

#include <string>

#include "protocol/event.h"

namespace quennet {

// Appends `event` as one compact JSON object to `line`, without the line feed. Returns false, and
// leaves `line` unspecified, when a string of the record is not valid UTF-8: such a record would
// break every reader, so it must never be written.
bool serialise_event(const Event& event, std::string& line);

}  // namespace quennet
