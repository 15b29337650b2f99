#include "workshop/download.h"

#include <optional>
#include <unordered_map>
#include <vector>

#include "steam/download_failures.h"
#include "steam/interfaces.h"
#include "workshop/item.h"
#include "workshop/polling.h"

namespace quennet {

namespace {

using platform::Nanoseconds;

// The least time between two Progress records of the same item.
constexpr std::chrono::milliseconds PROGRESS_MIN_INTERVAL{250};

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
  std::optional<ByteCounts> last_progress;      // of the last polling Progress record
  std::size_t spacing_slot;                     // this id's entry of the 250 ms spacing
};

bool active(const DownloadTask& task) {
  return task.phase != DownloadPhase::Complete && task.phase != DownloadPhase::Errored;
}

class Download {
 public:
  Download(const SteamClient& client, const platform::Clock& clock, const RecordSink& emit)
      : client_(client), clock_(clock), emit_(emit) {}

  bool run(DownloadFailureList& failures, std::span<const WorkshopId> ids, std::uint64_t timeout_secs) {
    const Nanoseconds start = clock_.now();
    begin(ids);
    const PollEnd end =
        poll_until_done(client_, clock_, start, timeout_secs, [&] { return pass(failures); });
    for (DownloadTask& task : tasks_) {
      if (!active(task)) continue;
      const std::string id = decimal(task.id);
      switch (end) {
        case PollEnd::Finished:
          break;
        case PollEnd::TimeLimit:
          fail(task, ErrorCode::Timeout,
               "workshop item " + id + " did not finish downloading within " +
                   decimal(timeout_secs) + "s");
          break;
        case PollEnd::SteamShuttingDown:
          fail(task, ErrorCode::SteamNotRunning,
               "Steam is shutting down: workshop item " + id + " did not finish downloading");
          break;
        case PollEnd::SteamLost:
          fail(task, ErrorCode::SteamNotRunning,
               "lost the connection to the Steam client: workshop item " + id +
                   " did not finish downloading");
          break;
      }
    }
    return end == PollEnd::Finished && !any_failed_;
  }

 private:
  // The work of one pass: announced failures first, then every task in list order. True while any
  // task is still active.
  bool pass(DownloadFailureList& failures) {
    for (const DownloadFailure& failure : failures.take_all()) fail_announced(failure);
    bool any_active = false;
    for (DownloadTask& task : tasks_) {
      advance(task);
      if (active(task)) any_active = true;
    }
    return any_active;
  }

  // One task per id, in order; items not yet subscribed get their subscribe call now. Tasks of the
  // same id share one spacing slot, so their Progress records are spaced together.
  void begin(std::span<const WorkshopId> ids) {
    std::unordered_map<WorkshopId, std::size_t> slot_of;
    tasks_.reserve(ids.size());
    for (const WorkshopId id : ids) {
      const auto [slot, added] = slot_of.emplace(id, last_progress_at_.size());
      if (added) last_progress_at_.emplace_back();
      DownloadTask task{id, DownloadPhase::Subscribed, std::nullopt, std::nullopt, slot->second};
      if (!item_state(client_, id).subscribed) {
        task.receiver = client_.ugc().subscribe_item(id);
        task.phase = DownloadPhase::Subscribing;
      }
      tasks_.push_back(std::move(task));
    }
  }

  // A failure Steam announced ends the first active task of that id; one that matches none is
  // dropped.
  void fail_announced(const DownloadFailure& failure) {
    for (DownloadTask& task : tasks_) {
      if (task.id != failure.id || !active(task)) continue;
      fail(task, failure.failure.code,
           "download of " + decimal(task.id) + " failed: " + failure.failure.message);
      return;
    }
  }

  void advance(DownloadTask& task) {
    if (task.phase == DownloadPhase::Subscribing && !take_subscription(task)) return;
    if (task.phase == DownloadPhase::Subscribed) {
      if (!client_.ugc().download_item(task.id)) {
        fail(task, ErrorCode::ItemInvalid,
             "Steam rejected the download of " + decimal(task.id) +
                 ": the workshop id is invalid or you are not logged on");
        return;
      }
      task.phase = DownloadPhase::Downloading;
    }
    if (task.phase == DownloadPhase::Downloading) poll(task);
  }

  // True when the subscription is confirmed and the task may go on in this same pass.
  bool take_subscription(DownloadTask& task) {
    const CallOutcome outcome = task.receiver->try_take();
    if (std::holds_alternative<Pending>(outcome)) return false;
    if (const auto* failed = std::get_if<Failed>(&outcome)) {
      fail(task, failed->failure.code,
           "subscribing to " + decimal(task.id) + " failed: " + failed->failure.message);
      return false;
    }
    if (std::holds_alternative<Dropped>(outcome)) {
      fail(task, ErrorCode::Unknown, "subscribe call for " + decimal(task.id) + " was dropped by Steam");
      return false;
    }
    task.receiver.reset();
    task.phase = DownloadPhase::Subscribed;
    return true;
  }

  void poll(DownloadTask& task) {
    const ItemState state = item_state(client_, task.id);
    RawInstallInfo install;  // asked on every pass, decoded only for the Installed record
    const bool has_install = client_.ugc().get_item_install_info(task.id, install);
    if (state.installed && !state.needs_update && !state.downloading && has_install) {
      // The bar the host has drawn ends at the total it was shown, whatever the size on disk.
      const std::uint64_t total = task.last_progress && task.last_progress->total != 0
                                      ? task.last_progress->total
                                      : install.size_on_disk;
      emit_(Progress{task.id, total, total});
      emit_(Installed{task.id, decode_install_info(install).folder});
      task.phase = DownloadPhase::Complete;
      return;
    }

    ByteCounts counts{0, 0};
    if (!client_.ugc().get_item_download_info(task.id, counts.done, counts.total)) return;
    if (counts.total == 0 || task.last_progress == counts) return;
    const Nanoseconds now = clock_.now();
    std::optional<Nanoseconds>& last = last_progress_at_[task.spacing_slot];
    if (last && now - *last < PROGRESS_MIN_INTERVAL) return;  // also when the clock reads earlier
    last = now;
    task.last_progress = counts;
    emit_(Progress{task.id, counts.done, counts.total});
  }

  void fail(DownloadTask& task, ErrorCode code, std::string message) {
    emit_(item_error(code, std::move(message), task.id));
    task.phase = DownloadPhase::Errored;
    task.receiver.reset();
    any_failed_ = true;
  }

  const SteamClient& client_;
  const platform::Clock& clock_;
  const RecordSink& emit_;
  std::vector<DownloadTask> tasks_;
  std::vector<std::optional<Nanoseconds>> last_progress_at_;  // by spacing slot
  bool any_failed_ = false;  // set by fail()
};

}  // namespace

bool run_download(const SteamClient& client, DownloadFailureList& failures,
                  std::span<const WorkshopId> ids, std::uint64_t timeout_secs,
                  const platform::Clock& clock, const RecordSink& emit) {
  return Download(client, clock, emit).run(failures, ids, timeout_secs);
}

}  // namespace quennet
