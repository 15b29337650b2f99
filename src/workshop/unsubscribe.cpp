#include "workshop/unsubscribe.h"

#include <string>
#include <vector>

#include "steam/interfaces.h"
#include "workshop/polling.h"

namespace quennet {

namespace {

struct PendingUnsubscribe {
  WorkshopId id;
  CallOutcomeReceiver receiver;
};

}  // namespace

bool run_unsubscribe(const SteamClient& client, std::span<const WorkshopId> ids,
                     const platform::Clock& clock, const RecordSink& emit) {
  const platform::Nanoseconds start = clock.now();
  std::vector<PendingUnsubscribe> pending;
  pending.reserve(ids.size());
  for (const WorkshopId id : ids) pending.push_back({id, client.ugc().unsubscribe_item(id)});

  bool all_confirmed = true;
  // Entries whose outcome is known leave the list; the others keep their order.
  auto take_outcomes = [&] {
    std::erase_if(pending, [&](PendingUnsubscribe& entry) {
      const CallOutcome outcome = entry.receiver.try_take();
      if (std::holds_alternative<Pending>(outcome)) return false;
      if (const auto* failed = std::get_if<Failed>(&outcome)) {
        emit(item_error(failed->failure.code,
                        "unsubscribing " + decimal(entry.id) + " failed: " + failed->failure.message,
                        entry.id));
        all_confirmed = false;
      } else if (std::holds_alternative<Dropped>(outcome)) {
        emit(item_error(ErrorCode::Unknown, "unsubscribe call for " + decimal(entry.id) + " was dropped",
                        entry.id));
        all_confirmed = false;
      }
      return true;
    });
    return !pending.empty();
  };

  const std::uint64_t limit_secs = UNSUBSCRIBE_CONFIRM_LIMIT.count();
  const PollEnd end = poll_until_done(client, clock, start, limit_secs, take_outcomes);
  for (const PendingUnsubscribe& entry : pending) {
    const std::string id = decimal(entry.id);
    switch (end) {
      case PollEnd::Finished:
        break;
      case PollEnd::TimeLimit:
        emit(item_error(ErrorCode::Timeout, "Steam did not confirm unsubscribing " + id, entry.id));
        break;
      case PollEnd::SteamShuttingDown:
        emit(item_error(ErrorCode::SteamNotRunning,
                        "Steam is shutting down: unsubscribing " + id + " was not confirmed", entry.id));
        break;
      case PollEnd::SteamLost:
        emit(item_error(ErrorCode::SteamNotRunning,
                        "lost the connection to the Steam client: unsubscribing " + id +
                            " was not confirmed",
                        entry.id));
        break;
    }
  }
  return end == PollEnd::Finished && all_confirmed;
}

}  // namespace quennet
