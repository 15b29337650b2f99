// The status command.
#pragma once

#include <span>

#include "protocol/emit.h"
#include "steam/session.h"

namespace quennet {

// Runs the callback pump once, then writes one State record per id, in the order given. Reads only;
// nothing in it can fail.
void run_status(const SteamClient& client, std::span<const WorkshopId> ids, const RecordSink& emit);

}  // namespace quennet
