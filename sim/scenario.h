// A scenario: the simulated Steam client's starting world and what happens in it, pass by pass.
// Plain data; scenario_json.h reads it from JSON, builtin_scenarios.h holds the built-in ones, and
// state_file.h keeps its items between runs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "steam/flat_api.h"

namespace steam_sim {

inline constexpr std::uint32_t DAYZ_APP_ID = 221100;
inline constexpr std::uint32_t INSTALL_TIMESTAMP = 1700000000;

// Item-state bits.
inline constexpr std::uint32_t STATE_SUBSCRIBED = 1;
inline constexpr std::uint32_t STATE_INSTALLED = 4;
inline constexpr std::uint32_t STATE_NEEDS_UPDATE = 8;
inline constexpr std::uint32_t STATE_DOWNLOADING = 16;
inline constexpr std::uint32_t STATE_DOWNLOAD_PENDING = 32;

// What a scenario scripts GetItemInstallInfo to answer for an item.
struct ScriptedInstall {
  std::string folder;        // raw bytes, written NUL-terminated when they fit
  std::optional<char> fill;  // instead: fill the caller's whole buffer, no NUL
  std::uint64_t size = 0;
  std::uint32_t timestamp = 0;
};

struct DownloadInfo {
  std::uint64_t done = 0;
  std::uint64_t total = 0;
};

// A download that DownloadItem starts and each pass advances.
struct DownloadModel {
  std::uint64_t size = 0;
  std::uint64_t step = 0;  // bytes gained every `every_passes` passes
  std::uint32_t every_passes = 1;
  std::string folder;              // install folder once complete
  std::uint32_t fail_at_pass = 0;  // 0: never fails
  std::int32_t fail_result = 2;
  std::uint32_t fail_app_id = DAYZ_APP_ID;
};

// What a scenario scripts to become of a SubscribeItem or UnsubscribeItem call.
struct ScriptedOutcome {
  std::int32_t result = 1;
  std::uint32_t after_passes = 1;
  bool io_failure = false;
  bool never = false;        // no completion notice ever
  bool fetch_fails = false;  // GetAPICallResult never hands out the result
  std::optional<SteamAPICall_t> handle;
  std::optional<std::uint32_t> result_size;  // default: the record's natural size
  // An unsubscribe that succeeds but leaves the item subscribed until the run ends, as the real
  // client removes items only once the game has quit.
  bool removed_at_exit = false;
};

// Changes to an item at the start of a pass; absent members leave it as it is.
struct ScriptStep {
  std::uint32_t pass = 1;
  std::optional<std::uint32_t> state;
  std::optional<std::optional<ScriptedInstall>> install;
  std::optional<std::optional<DownloadInfo>> download_info;
  std::optional<bool> accept_download;
};

// What the client's item queries answer for one item at a moment. A scenario gives an item's first
// facts, the world changes them as passes go by, and the state file keeps them between runs.
struct ItemFacts {
  std::uint32_t state = 0;
  std::optional<ScriptedInstall> install;
  std::optional<DownloadInfo> download_info;
  bool accept_download = true;
};

struct ItemScenario {
  PublishedFileId_t id = 0;
  ItemFacts facts;
  std::optional<DownloadModel> download;
  ScriptedOutcome subscribe;
  ScriptedOutcome unsubscribe;
  std::vector<ScriptStep> script;
  // From a state file: the download was under way for this many passes when the last run ended, and
  // goes on from there.
  std::optional<std::uint64_t> download_passes;
  // From a state file, with the download queue: the download's place in it (0: the one running).
  std::optional<std::uint32_t> queue_place;
};

// A callback message queued at a pass, its data already laid out.
struct ScheduledMessage {
  std::uint32_t pass = 1;
  std::int32_t id = 0;
  std::string data;
  std::optional<std::int32_t> size;  // the message's size field, when not the data's length
  bool null_data = false;            // data address 0
};

// Steam itself going away at a pass: quitting (704), or crashing (103, then 117). From the next pass
// on it answers as a closed client: every query zero or false, and no call completes.
struct SteamQuit {
  std::uint32_t pass = 1;
  bool crash = false;
};

// Bytes the library prints to the process's standard output or standard error, at a pass or
// during SteamAPI_InitFlat, as client code loaded into the process may.
struct ScheduledPrint {
  std::optional<std::uint32_t> pass;  // nothing: during SteamAPI_InitFlat
  std::string stdout_bytes;
  std::string stderr_bytes;
};

// A flat function that takes its time: each call of it from pass `from_pass` on (the RunFrame that
// runs that pass and every call after it; 0: from the very first call) waits `ms` milliseconds, or
// for good, before it answers.
struct BlockingCall {
  std::string function;
  std::uint64_t from_pass = 0;
  std::uint32_t ms = 0;
  bool forever = false;
};

struct Scenario {
  std::int32_t init_result = 0;
  std::string init_message;
  std::uint64_t steam_id = 76561198000000000ULL;
  std::optional<std::string> persona = "Survivor";  // nothing: GetPersonaName returns null
  bool ugc = true;
  bool user = true;
  bool friends = true;
  HSteamPipe pipe = 1;
  std::vector<ItemScenario> items;
  std::vector<ScheduledMessage> callbacks;
  std::optional<SteamQuit> quit;
  std::vector<ScheduledPrint> prints;
  // Downloads run one at a time, as with the real client, instead of all at once.
  bool download_queue = false;
  // Not logged on to Steam's servers: DownloadItem refuses and every subscribe fails with result 3,
  // while the item queries still answer from what is on disk.
  bool offline = false;
  std::vector<BlockingCall> blocking_calls;
};

}  // namespace steam_sim
