// The download command.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/clock.h"
#include "protocol/emit.h"
#include "steam/callbacks.h"
#include "steam/session.h"

namespace quennet {

inline constexpr std::chrono::milliseconds POLL_INTERVAL{50};
inline constexpr std::chrono::milliseconds PROGRESS_MIN_INTERVAL{250};

enum class DownloadPhase { Subscribing, Subscribed, Downloading, Complete, Errored };

struct ByteCounts {
  std::uint64_t done;
  std::uint64_t total;
  bool operator==(const ByteCounts&) const = default;
};

struct DownloadTask {
  WorkshopId id;
  DownloadPhase phase;
  std::optional<CallOutcomeReceiver> receiver;  // while Subscribing only
  std::optional<ByteCounts> lastProgress;       // of the last polling Progress record
  std::size_t spacingSlot;                      // this id's entry of the 250 ms spacing
};

// Subscribes where needed, requests every download with high priority, reports progress and
// installation, and stops at `timeoutSecs` after the start. Each failed item gets one Error record
// and ends alone. True when every item was installed.
bool run_download(const SteamClient& client, DownloadFailureList& failures,
                  std::span<const WorkshopId> ids, std::uint64_t timeoutSecs,
                  const platform::Clock& clock, const Emit& emit);

}  // namespace quennet
