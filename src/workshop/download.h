// The download command.
#pragma once

#include <cstdint>
#include <span>

#include "platform/clock.h"
#include "protocol/emit.h"
#include "steam/session.h"

namespace quennet {

class DownloadFailureList;  // steam/download_failures.h

// Subscribes where needed, requests every download with high priority, reports progress and
// installation, and stops at `timeout_secs` after the start. Each failed item gets one Error record
// and ends alone. True when every item was installed.
bool run_download(const SteamClient& client, DownloadFailureList& failures,
                  std::span<const WorkshopId> ids, std::uint64_t timeout_secs,
                  const platform::Clock& clock, const RecordSink& emit);

}  // namespace quennet
