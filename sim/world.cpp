#include "sim/world.h"

#include <algorithm>
#include <cstring>

#include "sim/records.h"

namespace steam_sim {

namespace {

CallbackMessage notice(std::int32_t id, const std::string& data) {
  CallbackMessage message;
  message.id = id;
  message.data.assign(data.begin(), data.end());
  message.size = static_cast<std::int32_t>(data.size());
  return message;
}

bool installed_and_up_to_date(std::uint32_t state) {
  return (state & STATE_INSTALLED) != 0 &&
         (state & (STATE_NEEDS_UPDATE | STATE_DOWNLOADING | STATE_DOWNLOAD_PENDING)) == 0;
}

}  // namespace

World::World(Scenario scenario) : scenario_(std::move(scenario)) {
  std::vector<std::pair<std::uint32_t, PublishedFileId_t>> resumed;  // (queue place, item)
  for (const ItemScenario& setup : scenario_.items) {
    Item& entry = items_[setup.id];
    entry.setup = setup;
    entry.facts = setup.facts;
    for (const ScriptStep& step : setup.script)
      scripts_.emplace(step.pass, std::pair(setup.id, step));
    if (setup.download && setup.download_passes) {
      entry.download_passes = *setup.download_passes;
      resumed.emplace_back(setup.queue_place.value_or(UINT32_MAX), setup.id);
    }
    if (setup.subscribe.handle) forced_handles_.insert(*setup.subscribe.handle);
    if (setup.unsubscribe.handle) forced_handles_.insert(*setup.unsubscribe.handle);
  }
  for (std::size_t i = 0; i < scenario_.callbacks.size(); ++i) {
    scheduled_.emplace(scenario_.callbacks[i].pass, i);
  }
  // The downloads of the last run go on, in the queue's order when there is one.
  std::stable_sort(resumed.begin(), resumed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [place, id] : resumed) downloads_.push_back(id);
}

World::Item& World::item(PublishedFileId_t id) {
  // An item the scenario does not list starts with every default.
  auto [entry, added] = items_.try_emplace(id);
  if (added) entry->second.setup.id = id;
  return entry->second;
}

const World::Item* World::find(PublishedFileId_t id) const {
  auto entry = items_.find(id);
  return entry == items_.end() ? nullptr : &entry->second;
}

std::uint32_t World::get_item_state(PublishedFileId_t id) const {
  if (closed()) return 0;
  const Item* entry = find(id);
  return entry ? entry->facts.state : 0;
}

const ScriptedInstall* World::get_item_install_info(PublishedFileId_t id) const {
  if (closed()) return nullptr;
  const Item* entry = find(id);
  return entry && entry->facts.install ? &*entry->facts.install : nullptr;
}

std::optional<DownloadInfo> World::get_item_download_info(PublishedFileId_t id) const {
  const Item* entry = find(id);
  if (!entry || closed()) return std::nullopt;
  // A download reports its progress from its first pass on, also while the queue holds it back
  // again. Before that first pass a download waiting in the queue reports 0 of 0 bytes; without the
  // queue, and once the download has ended, the item's own answer stands.
  if (entry->download_passes) {
    if (*entry->download_passes > 0) {
      return DownloadInfo{downloaded(*entry), entry->setup.download->size};
    }
    if (scenario_.download_queue) return DownloadInfo{0, 0};
  }
  return entry->facts.download_info;
}

std::uint64_t World::downloaded(const Item& entry) const {
  const DownloadModel& model = *entry.setup.download;
  const std::uint64_t steps = *entry.download_passes / model.every_passes;
  if (model.step == 0) return 0;
  if (steps > model.size / model.step) return model.size;  // and step * steps might overflow
  return std::min(model.size, model.step * steps);
}

bool World::download_item(PublishedFileId_t id, bool high_priority) {
  if (closed()) return false;
  Item& entry = item(id);
  if (scenario_.offline || !entry.facts.accept_download) return false;
  if (!entry.setup.download) return true;
  if (entry.download_passes) {
    // Under way already: only a high-priority request in the queue changes anything.
    if (scenario_.download_queue && high_priority) queue_download(id, true);
    return true;
  }
  if (installed_and_up_to_date(entry.facts.state)) return true;
  // With the queue, as with the real client, a new download waits as an update that is pending.
  entry.facts.state |= STATE_SUBSCRIBED | STATE_DOWNLOAD_PENDING;
  if (scenario_.download_queue) entry.facts.state |= STATE_NEEDS_UPDATE;
  entry.download_passes = 0;
  queue_download(id, high_priority);
  return true;
}

void World::queue_download(PublishedFileId_t id, bool high_priority) {
  std::erase(downloads_, id);
  if (!scenario_.download_queue || !high_priority) {
    downloads_.push_back(id);
    return;
  }
  // The download that was running waits again, keeping the bytes it has.
  if (!downloads_.empty()) {
    ItemFacts& running = item(downloads_.front()).facts;
    running.state = (running.state & ~STATE_DOWNLOADING) | STATE_DOWNLOAD_PENDING;
  }
  downloads_.insert(downloads_.begin(), id);
}

SteamAPICall_t World::next_handle() {
  // Skip the handles that the scenario forces, so that only forced handles are ever shared.
  while (forced_handles_.count(next_handle_) != 0) ++next_handle_;
  return next_handle_++;
}

SteamAPICall_t World::start_call(PublishedFileId_t id, bool subscribe) {
  if (closed()) return 0;  // k_uAPICallInvalid
  const Item& entry = item(id);
  const ScriptedOutcome& outcome = subscribe ? entry.setup.subscribe : entry.setup.unsubscribe;
  const SteamAPICall_t handle = outcome.handle ? *outcome.handle : next_handle();
  if (!outcome.never) {
    PendingCall call{handle, id, subscribe, outcome};
    if (subscribe && scenario_.offline) call.outcome.result = 3;  // no connection
    pending_.emplace(pass_ + outcome.after_passes, call);
  }
  return handle;
}

void World::run_pass() {
  if (scenario_.quit && pass_ >= scenario_.quit->pass) closed_ = true;
  if (closed_) return;
  ++pass_;
  apply_scripts();
  std::vector<CallbackMessage> call_notices;
  std::vector<CallbackMessage> download_notices;
  complete_calls(call_notices);
  advance_downloads(download_notices);
  for (CallbackMessage& message : call_notices) mailbox_.post(std::move(message));
  for (CallbackMessage& message : download_notices) mailbox_.post(std::move(message));
  post_scheduled();
  post_quit();
}

void World::apply_scripts() {
  auto [first, last] = scripts_.equal_range(pass_);
  for (auto step = first; step != last; ++step) {
    Item& entry = item(step->second.first);
    const ScriptStep& change = step->second.second;
    if (change.state) entry.facts.state = *change.state;
    if (change.install) entry.facts.install = *change.install;
    if (change.download_info) entry.facts.download_info = *change.download_info;
    if (change.accept_download) entry.facts.accept_download = *change.accept_download;
  }
  scripts_.erase(first, last);
}

void World::complete_calls(std::vector<CallbackMessage>& notices) {
  auto [first, last] = pending_.equal_range(pass_);
  for (auto call = first; call != last; ++call) {
    const PendingCall& done = call->second;
    const ScriptedOutcome& outcome = done.outcome;
    if (outcome.result == 1) {
      Item& entry = item(done.item);
      if (done.subscribe) {
        entry.facts.state |= STATE_SUBSCRIBED;
        entry.removed_at_exit = false;
      } else if (outcome.removed_at_exit) {
        entry.removed_at_exit = true;
      } else {
        entry.facts.state &= ~STATE_SUBSCRIBED;
      }
    }
    const std::int32_t result_id = done.subscribe ? SUBSCRIBE_RESULT_ID : UNSUBSCRIBE_RESULT_ID;
    std::string record = subscription_result(outcome.result, done.item);
    const auto size = outcome.result_size.value_or(static_cast<std::uint32_t>(record.size()));
    if (!outcome.fetch_fails) {
      completed_.emplace(std::pair(done.handle, result_id),
                         CompletedCall{std::move(record), size, outcome.io_failure});
    }
    notices.push_back(
        notice(CALL_COMPLETED_ID, call_completed_notice(done.handle, result_id, size)));
  }
  pending_.erase(first, last);
}

void World::advance_downloads(std::vector<CallbackMessage>& notices) {
  if (!scenario_.download_queue) {
    std::erase_if(downloads_, [&](PublishedFileId_t id) { return !advance_download(id, notices); });
    return;
  }
  // Only the first of the queue runs; when it ends, the next one starts in the next pass.
  if (!downloads_.empty() && !advance_download(downloads_.front(), notices)) {
    downloads_.erase(downloads_.begin());
  }
}

// One pass of a running download. Returns false when it has ended.
bool World::advance_download(PublishedFileId_t id, std::vector<CallbackMessage>& notices) {
  Item& entry = item(id);
  const DownloadModel& model = *entry.setup.download;
  const std::uint64_t k = ++*entry.download_passes;
  if (model.fail_at_pass != 0 && k == model.fail_at_pass) {
    entry.facts.state &= ~(STATE_DOWNLOADING | STATE_DOWNLOAD_PENDING);
    entry.download_passes.reset();
    notices.push_back(notice(DOWNLOAD_RESULT_ID,
                             download_result_notice(model.fail_app_id, id, model.fail_result)));
    return false;
  }
  entry.facts.state = (entry.facts.state & ~STATE_DOWNLOAD_PENDING) | STATE_DOWNLOADING;
  if (downloaded(entry) < model.size) return true;

  entry.facts.state = STATE_SUBSCRIBED | STATE_INSTALLED;
  entry.facts.install = ScriptedInstall{model.folder, std::nullopt, model.size, INSTALL_TIMESTAMP};
  entry.facts.download_info = DownloadInfo{model.size, model.size};
  entry.download_passes.reset();
  notices.push_back(notice(DOWNLOAD_RESULT_ID, download_result_notice(DAYZ_APP_ID, id, 1)));
  return false;
}

void World::post_scheduled() {
  auto [first, last] = scheduled_.equal_range(pass_);
  for (auto entry = first; entry != last; ++entry) {
    const ScheduledMessage& scheduled = scenario_.callbacks[entry->second];
    CallbackMessage message;
    message.id = scheduled.id;
    message.size = scheduled.size.value_or(static_cast<std::int32_t>(scheduled.data.size()));
    message.null_data = scheduled.null_data;
    // A size beyond the data is backed by zeros, so a caller that trusts it reads only our memory.
    message.data.assign(scheduled.data.begin(), scheduled.data.end());
    if (message.size > 0 && message.data.size() < static_cast<std::size_t>(message.size)) {
      message.data.resize(static_cast<std::size_t>(message.size), 0);
    }
    mailbox_.post(std::move(message));
  }
  scheduled_.erase(first, last);
}

// Quitting posts 704, an empty record (one byte, as C++ sizes it); a crash first loses the servers
// (103, with result 3, no connection), then the connection to the client (117, one byte).
void World::post_quit() {
  if (!scenario_.quit || scenario_.quit->pass != pass_) return;
  if (!scenario_.quit->crash) {
    mailbox_.post(notice(STEAM_SHUTDOWN_ID, std::string(1, '\0')));
    return;
  }
  mailbox_.post(notice(SERVERS_DISCONNECTED_ID, std::string("\x03\0\0\0", 4)));
  mailbox_.post(notice(IPC_FAILURE_ID, std::string(1, '\0')));
}

bool World::fetch_result(SteamAPICall_t handle, std::int32_t result_id, void* buffer,
                         std::size_t size, bool& io_failure) {
  // Two calls forced onto one handle complete separately; the oldest result goes first.
  const auto key = std::pair(handle, result_id);
  const auto entry = completed_.lower_bound(key);
  if (entry == completed_.end() || entry->first != key) return false;
  const CompletedCall& done = entry->second;
  const std::size_t copied = std::min<std::size_t>(size, done.size);
  const std::size_t from_record = std::min(copied, done.record.size());
  if (copied > 0) {
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::memcpy(bytes, done.record.data(), from_record);
    std::memset(bytes + from_record, 0, copied - from_record);
  }
  io_failure = done.io_failure;
  completed_.erase(entry);
  return true;
}

std::vector<ItemScenario> World::snapshot() const {
  std::vector<ItemScenario> items;
  for (const auto& [id, entry] : items_) {
    ItemScenario now;
    now.id = id;
    now.facts = entry.facts;
    if (entry.removed_at_exit) now.facts.state &= ~STATE_SUBSCRIBED;
    now.download_passes = entry.download_passes;
    if (scenario_.download_queue && entry.download_passes) {
      const auto place = std::find(downloads_.begin(), downloads_.end(), id) - downloads_.begin();
      now.queue_place = static_cast<std::uint32_t>(place);
    }
    items.push_back(std::move(now));
  }
  return items;
}

}  // namespace steam_sim
