// The unsubscribe command.
#pragma once

#include <chrono>
#include <span>

#include "platform/clock.h"
#include "protocol/emit.h"
#include "steam/session.h"

namespace quennet {

// Fixed: --timeout-secs belongs to download only.
inline constexpr std::chrono::seconds UNSUBSCRIBE_CONFIRM_LIMIT{30};

// Sends every request first, then waits for all confirmations together, at most 30 seconds from
// the start. Confirmed items write nothing; every other item gets one Error record. True when Steam
// confirmed every request.
bool run_unsubscribe(const SteamClient& client, std::span<const WorkshopId> ids,
                     const platform::Clock& clock, const RecordSink& emit);

}  // namespace quennet
