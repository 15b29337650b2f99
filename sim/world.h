// The simulated Steam client's world: items, their downloads and subscriptions, pending call
// results and the messages a pass produces. Knows nothing of callers, pipes or the log:
// flat_api.cpp checks the calls and records them, and asks the world what happens.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "sim/mailbox.h"
#include "sim/scenario.h"

namespace steam_sim {

class World {
 public:
  explicit World(Scenario scenario);
  World(const World&) = delete;
  World& operator=(const World&) = delete;

  const Scenario& scenario() const { return scenario_; }
  Mailbox& mailbox() { return mailbox_; }

  // The answers of the item queries, each named after its Steam call.
  std::uint32_t get_item_state(PublishedFileId_t id) const;
  const ScriptedInstall* get_item_install_info(PublishedFileId_t id) const;
  std::optional<DownloadInfo> get_item_download_info(PublishedFileId_t id) const;

  // What DownloadItem returns; starts the item's download model when there is one to start. With
  // the download queue, a high-priority request moves the item to the front.
  bool download_item(PublishedFileId_t id, bool high_priority);

  // Returns the call's handle; its result completes after the item's outcome says.
  SteamAPICall_t subscribe_item(PublishedFileId_t id) { return start_call(id, true); }
  SteamAPICall_t unsubscribe_item(PublishedFileId_t id) { return start_call(id, false); }

  // One pass: scripts, then models, then the messages that fall due.
  void run_pass();
  // Passes run so far; the first pass is 1.
  std::uint64_t pass() const { return pass_; }

  // Steam has gone (the scenario's steamQuits, from the pass after its notices): every query
  // answers zero or false, new calls get no handle, and nothing moves any more, the pass count
  // included, so that a running download stays where it was.
  bool closed() const { return closed_; }

  // Hands out the oldest completed result of `handle` for `result_id`: copies up to `size` bytes of
  // it into `buffer`, sets `io_failure` and forgets it. Returns false when there is none.
  bool fetch_result(SteamAPICall_t handle, std::int32_t result_id, void* buffer, std::size_t size,
                    bool& io_failure);

  // Every item as the run would leave it if it ended now (state, install and download information,
  // and how far a download under way has got), for the state file.
  std::vector<ItemScenario> snapshot() const;

 private:
  struct Item {
    ItemScenario setup;
    ItemFacts facts;  // as they stand now
    // While a download is under way (running or waiting its turn): the passes it has run, in this
    // run and earlier ones.
    std::optional<std::uint64_t> download_passes;
    bool removed_at_exit = false;  // unsubscribed, but still subscribed until the run ends
  };

  struct PendingCall {
    SteamAPICall_t handle = 0;
    PublishedFileId_t item = 0;
    bool subscribe = true;
    ScriptedOutcome outcome;
  };

  struct CompletedCall {
    std::string record;      // the result record at its natural size
    std::uint32_t size = 0;  // the size announced; past the record, zeros
    bool io_failure = false;
  };

  Item& item(PublishedFileId_t id);
  const Item* find(PublishedFileId_t id) const;
  SteamAPICall_t start_call(PublishedFileId_t id, bool subscribe);
  SteamAPICall_t next_handle();
  std::uint64_t downloaded(const Item& item) const;
  void queue_download(PublishedFileId_t id, bool high_priority);
  bool advance_download(PublishedFileId_t id, std::vector<CallbackMessage>& notices);

  void apply_scripts();
  void complete_calls(std::vector<CallbackMessage>& notices);
  void advance_downloads(std::vector<CallbackMessage>& notices);
  void post_scheduled();
  void post_quit();

  Scenario scenario_;
  std::uint64_t pass_ = 0;  // passes run so far; pass numbers start at 1
  bool closed_ = false;
  std::map<PublishedFileId_t, Item> items_;
  std::multimap<std::uint64_t, std::pair<PublishedFileId_t, ScriptStep>> scripts_;  // by pass
  std::multimap<std::uint64_t, std::size_t> scheduled_;  // by pass: index into scenario_.callbacks
  std::multimap<std::uint64_t, PendingCall> pending_;    // by due pass, in call order
  std::multimap<std::pair<SteamAPICall_t, std::int32_t>, CompletedCall> completed_;
  // Under way, in the order they started; with the download queue, in the queue's order, the first
  // running and the others waiting.
  std::vector<PublishedFileId_t> downloads_;
  std::set<SteamAPICall_t> forced_handles_;
  SteamAPICall_t next_handle_ = 1000;
  Mailbox mailbox_;
};

}  // namespace steam_sim
