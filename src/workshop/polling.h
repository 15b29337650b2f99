// What the polling loops of download and unsubscribe share.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "protocol/event.h"
#include "steam/outcome.h"

namespace quennet {

// The pause between two passes of a polling loop.
inline constexpr std::chrono::milliseconds POLL_INTERVAL{50};

// How an operation words the end of one of its Workshop calls that did not succeed.
struct CallWording {
  const char* failed;   // "<failed> <id> failed: <Steam's message>"
  const char* dropped;  // "<dropped> <id> <dropped_end>"
  const char* dropped_end;
};

// The Error record for a call whose outcome is Failed or Dropped; nothing for Pending or Succeeded.
std::optional<Error> call_error(const CallOutcome& outcome, WorkshopId id, const CallWording& wording);

}  // namespace quennet
