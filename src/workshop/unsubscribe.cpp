#include "workshop/unsubscribe.h"

#include <vector>

#include "steam/interfaces.h"
#include "workshop/polling.h"

namespace quennet {

namespace {

struct PendingUnsubscribe {
  WorkshopId id;
  CallOutcomeReceiver receiver;
};

constexpr CallWording UNSUBSCRIBE_WORDING{"unsubscribing", "unsubscribe call for", "was dropped"};

}  // namespace

bool run_unsubscribe(const SteamClient& client, std::span<const WorkshopId> ids,
                     const platform::Clock& clock, const RecordSink& emit) {
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
      const CallOutcome outcome = entry.receiver.try_take();
      if (std::holds_alternative<Pending>(outcome)) {
        if (&pending[kept] != &entry) pending[kept] = std::move(entry);
        ++kept;
        continue;
      }
      if (std::optional<Error> error = call_error(outcome, entry.id, UNSUBSCRIBE_WORDING)) {
        emit(std::move(*error));
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
