#include "workshop/unsubscribe.h"

#include <vector>

#include "workshop/download.h"

namespace quennet {

bool run_unsubscribe(const SteamClient& client, std::span<const WorkshopId> ids,
                     const platform::Clock& clock, const Emit& emit) {
  const platform::Nanoseconds start = clock.now();
  std::vector<PendingUnsubscribe> pending;
  pending.reserve(ids.size());
  for (const WorkshopId id : ids) pending.push_back({id, client.ugc().unsubscribe_item(id)});

  bool all_confirmed = true;
  for (;;) {
    client.run_callbacks();
    // Entries whose outcome is known leave the list; the others keep their order.
    std::size_t kept = 0;
    for (PendingUnsubscribe& entry : pending) {
      Taken taken = entry.receiver.try_take();
      if (std::holds_alternative<NothingYet>(taken)) {
        if (&pending[kept] != &entry) pending[kept] = std::move(entry);
        ++kept;
        continue;
      }
      if (std::holds_alternative<Disconnected>(taken)) {
        emit(item_error(ErrorCode::Unknown, "unsubscribe call for " + decimal(entry.id) + " was dropped",
                        entry.id));
        all_confirmed = false;
      } else if (const auto* failed = std::get_if<Failed>(&std::get<CallOutcome>(taken))) {
        emit(item_error(failed->failure.code,
                        "unsubscribing " + decimal(entry.id) + " failed: " + failed->failure.message,
                        entry.id));
        all_confirmed = false;
      }
    }
    pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(kept), pending.end());
    if (pending.empty()) return all_confirmed;

    const platform::Nanoseconds now = clock.now();
    if (now > start && now - start >= UNSUBSCRIBE_CONFIRM_LIMIT) {
      for (const PendingUnsubscribe& entry : pending) {
        emit(item_error(ErrorCode::Timeout, "Steam did not confirm unsubscribing " + decimal(entry.id),
                        entry.id));
      }
      return false;
    }
    clock.sleep_for(POLL_INTERVAL);
  }
}

}  // namespace quennet
