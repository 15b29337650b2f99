// The simulated Steam client as its callers rely on it: the download model, call results, message
// layouts and order, scenario errors and the misuse it reports.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/environment.h"
#include "sim/call_log.h"
#include "sim/control.h"
#include "steam/flat_api.h"
#include "support/simulated_api.h"

namespace {

struct Message {
  std::int32_t id = 0;
  std::vector<unsigned char> data;
  bool null_data = false;
};

template <typename Field>
Field read_at(const std::vector<unsigned char>& bytes, std::size_t offset) {
  Field value{};
  EXPECT_LE(offset + sizeof(Field), bytes.size());
  if (offset + sizeof(Field) <= bytes.size())
    std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

// Where this OS's Steam library puts the fields of a download-result notice and of a subscription
// result: Windows aligns 64-bit fields to 8 bytes, Linux to 4.
struct Layout {
  std::size_t notice_item, notice_result, notice_size, result_item, result_size;
};
Layout layout() {
#ifdef _WIN32
  return Layout{8, 16, 24, 8, 16};
#else
  return Layout{4, 12, 16, 4, 12};
#endif
}

std::size_t misuse_count() {
  return quennet::test::count_calls(quennet::test::sim_log(), steam_sim::MISUSE_PREFIX);
}

using Progress = std::pair<std::uint64_t, std::uint64_t>;

// A caller that keeps the library's rules, on a freshly loaded scenario.
struct Caller {
  SteamUGCObject* ugc = nullptr;
  HSteamPipe pipe = 0;

  explicit Caller(std::string_view scenario) {
    EXPECT_EQ(steam_sim::load_scenario(scenario), "");
    char message[STEAM_INIT_MESSAGE_SIZE] = {};
    EXPECT_EQ(SteamAPI_InitFlat(message), 0);
    SteamAPI_ManualDispatch_Init();
    ugc = SteamAPI_SteamUGC_v021();
    pipe = SteamAPI_GetHSteamPipe();
  }

  // Takes every waiting message, copying its data out before freeing it.
  std::vector<Message> take_messages() {
    std::vector<Message> messages;
    alignas(8) unsigned char record[24];
    while (SteamAPI_ManualDispatch_GetNextCallback(pipe, record)) {
      std::vector<unsigned char> raw(record, record + sizeof record);
      const auto* data = read_at<const unsigned char*>(raw, 8);
      const auto size = read_at<std::int32_t>(raw, 16);
      EXPECT_EQ(read_at<std::int32_t>(raw, 0), 0) << "user handle";
      Message message{read_at<std::int32_t>(raw, 4), {}, data == nullptr};
      if (data != nullptr && size > 0) message.data.assign(data, data + size);
      messages.push_back(message);
      SteamAPI_ManualDispatch_FreeLastCallback(pipe);
    }
    return messages;
  }

  std::vector<Message> pass() {
    SteamAPI_ManualDispatch_RunFrame(pipe);
    return take_messages();
  }

  std::uint32_t state(PublishedFileId_t item) { return SteamAPI_ISteamUGC_GetItemState(ugc, item); }

  // (done, total), or (-1, -1) when the library has no answer.
  Progress progress(PublishedFileId_t item) {
    std::uint64_t done = 0;
    std::uint64_t total = 0;
    if (!SteamAPI_ISteamUGC_GetItemDownloadInfo(ugc, item, &done, &total)) return {~0ULL, ~0ULL};
    return {done, total};
  }

  // The result record of `call`, at most `size` bytes, in a buffer of 64 bytes of 0xAA; empty when
  // the library hands out nothing.
  std::vector<unsigned char> fetch(SteamAPICall_t call, int size, int result_id, bool& io_failure) {
    std::vector<unsigned char> buffer(64, 0xAA);
    if (!SteamAPI_ManualDispatch_GetAPICallResult(pipe, call, buffer.data(), size, result_id,
                                                  &io_failure)) {
      return {};
    }
    return buffer;
  }
};

void expect_download_notice(const Message& message, std::uint32_t app, std::uint64_t item,
                            std::int32_t result) {
  const Layout at = layout();
  EXPECT_EQ(message.id, 3406);
  ASSERT_EQ(message.data.size(), at.notice_size);
  EXPECT_EQ(read_at<std::uint32_t>(message.data, 0), app);
  EXPECT_EQ(read_at<std::uint64_t>(message.data, at.notice_item), item);
  EXPECT_EQ(read_at<std::int32_t>(message.data, at.notice_result), result);
}

TEST(SimDownload, ProgressesByStepsCompletesOnceAndInstalls) {
  Caller steam(R"({"items":[{"id":"123",
      "download":{"size":3000,"step":1000,"everyPasses":2,"folder":"/mods/123"}}]})");

  ASSERT_TRUE(SteamAPI_ISteamUGC_DownloadItem(steam.ugc, 123, true));
  EXPECT_EQ(steam.state(123), 1u | 32u);
  EXPECT_EQ(steam.progress(123).first, ~0ULL) << "no progress before the first pass";

  const std::vector<std::uint64_t> done_by_pass = {0, 1000, 1000, 2000, 2000};
  for (std::size_t pass = 1; pass <= done_by_pass.size(); ++pass) {
    EXPECT_TRUE(steam.pass().empty()) << "pass " << pass;
    EXPECT_EQ(steam.state(123), 1u | 16u) << "pass " << pass;
    EXPECT_EQ(steam.progress(123), Progress(done_by_pass[pass - 1], 3000)) << "pass " << pass;
    // A second request while the download runs must not restart it.
    if (pass == 2) {
      EXPECT_TRUE(SteamAPI_ISteamUGC_DownloadItem(steam.ugc, 123, false));
    }
  }

  const std::vector<Message> completion = steam.pass();
  ASSERT_EQ(completion.size(), 1u);
  expect_download_notice(completion[0], 221100, 123, 1);
  EXPECT_EQ(steam.state(123), 1u | 4u);
  EXPECT_EQ(steam.progress(123), Progress(3000, 3000));

  std::uint64_t size = 0;
  std::uint32_t timestamp = 0;
  char folder[64];
  std::memset(folder, 'Z', sizeof folder);
  ASSERT_TRUE(SteamAPI_ISteamUGC_GetItemInstallInfo(steam.ugc, 123, &size, folder, sizeof folder,
                                                    &timestamp));
  EXPECT_STREQ(folder, "/mods/123");
  EXPECT_EQ(size, 3000u);
  EXPECT_EQ(timestamp, 1700000000u);

  // Installed and up to date: asking again starts nothing and announces nothing.
  EXPECT_TRUE(SteamAPI_ISteamUGC_DownloadItem(steam.ugc, 123, true));
  EXPECT_TRUE(steam.pass().empty());
  EXPECT_EQ(steam.state(123), 1u | 4u);
  EXPECT_EQ(misuse_count(), 0u);
}

TEST(SimDownload, FailureStopsTheDownloadWithOneNotice) {
  Caller steam(R"({"items":[
      {"id":9,"state":8,
       "download":{"size":100,"step":10,"failAtPass":3,"failResult":16,"failAppId":4}},
      {"id":10,"acceptDownload":false,"download":{"size":5}}]})");

  EXPECT_FALSE(SteamAPI_ISteamUGC_DownloadItem(steam.ugc, 10, true));
  ASSERT_TRUE(SteamAPI_ISteamUGC_DownloadItem(steam.ugc, 9, true));
  EXPECT_TRUE(steam.pass().empty());
  EXPECT_TRUE(steam.pass().empty());
  EXPECT_EQ(steam.progress(9), Progress(20, 100));

  const std::vector<Message> failure = steam.pass();
  ASSERT_EQ(failure.size(), 1u);
  expect_download_notice(failure[0], 4, 9, 16);
  EXPECT_EQ(steam.state(9), 1u | 8u)
      << "subscribed, still needing its update, no longer downloading";
  EXPECT_EQ(steam.progress(9).first, ~0ULL) << "a stopped download reports no progress";

  for (int pass = 0; pass < 10; ++pass) EXPECT_TRUE(steam.pass().empty());
  EXPECT_EQ(steam.state(10), 0u) << "a refused download never starts";
  EXPECT_EQ(misuse_count(), 0u);
}

TEST(SimSteamQuits, NoticesAtItsPassThenAClosedClient) {
  Caller quits(R"({"items":[{"id":9,"download":{"size":100,"step":10}},{"id":10,"state":1,"unsubscribe":{"afterPasses":2}}],
                   "steamQuits":{"pass":2}})");
  ASSERT_TRUE(SteamAPI_ISteamUGC_DownloadItem(quits.ugc, 9, true));
  const SteamAPICall_t pending = SteamAPI_ISteamUGC_UnsubscribeItem(quits.ugc, 10);
  EXPECT_TRUE(quits.pass().empty());
  const std::vector<Message> notices = quits.pass();
  ASSERT_EQ(notices.size(), 2u);  // the unsubscribe's completion, then Steam's notice
  EXPECT_EQ(notices[1].id, 704);
  EXPECT_EQ(quits.progress(9), Progress(20, 100)) << "the pass of the notice still answers";

  EXPECT_TRUE(quits.pass().empty()) << "nothing moves once Steam has gone";
  bool io_failure = false;
  EXPECT_FALSE(quits.fetch(pending, 12, 1315, io_failure).empty()) << "completed before it went";
  EXPECT_EQ(quits.state(9), 0u);
  EXPECT_EQ(quits.progress(9).first, ~0ULL);
  EXPECT_FALSE(SteamAPI_ISteamUGC_DownloadItem(quits.ugc, 9, true));
  EXPECT_EQ(SteamAPI_ISteamUGC_SubscribeItem(quits.ugc, 9), 0u);
  EXPECT_EQ(SteamAPI_ISteamUser_GetSteamID(SteamAPI_SteamUser_v023()), 0u);
  EXPECT_STREQ(SteamAPI_ISteamFriends_GetPersonaName(SteamAPI_SteamFriends_v018()), "");
  EXPECT_EQ(misuse_count(), 0u);

  Caller crashes(R"({"steamQuits":{"pass":1,"crash":true}})");
  const std::vector<Message> crash = crashes.pass();
  ASSERT_EQ(crash.size(), 2u);
  EXPECT_EQ(crash[0].id, 103);
  EXPECT_EQ(crash[1].id, 117);
}

TEST(SimDownloadQueue, DownloadsWaitAsPendingUpdatesWithNoBytesUntilTheirTurn) {
  Caller steam(R"({"downloadQueue":true,"items":[
      {"id":1,"download":{"size":100,"step":50}},
      {"id":2,"download":{"size":100,"step":50}},
      {"id":3,"download":{"size":100,"step":50}}]})");
  constexpr std::uint32_t WAITING = 1 | 8 | 32;
  constexpr std::uint32_t RUNNING = 1 | 8 | 16;

  ASSERT_TRUE(SteamAPI_ISteamUGC_DownloadItem(steam.ugc, 1, false));
  ASSERT_TRUE(SteamAPI_ISteamUGC_DownloadItem(steam.ugc, 2, false));
  EXPECT_EQ(steam.state(1), WAITING) << "a new download is a pending update, not yet downloading";
  EXPECT_EQ(steam.progress(1), Progress(0, 0));

  EXPECT_TRUE(steam.pass().empty());
  EXPECT_EQ(steam.state(1), RUNNING);
  EXPECT_EQ(steam.progress(1), Progress(50, 100));
  EXPECT_EQ(steam.state(2), WAITING) << "one download at a time, in the order asked";
  EXPECT_EQ(steam.progress(2), Progress(0, 0));

  // High priority goes first; the one it interrupts waits with what it has.
  ASSERT_TRUE(SteamAPI_ISteamUGC_DownloadItem(steam.ugc, 3, true));
  EXPECT_EQ(steam.state(1), WAITING);
  EXPECT_TRUE(steam.pass().empty());
  EXPECT_EQ(steam.state(3), RUNNING);
  EXPECT_EQ(steam.state(1), WAITING);
  EXPECT_EQ(steam.progress(1), Progress(50, 100));

  const std::vector<std::uint64_t> completed_by_pass = {3, 1, 0, 2};
  for (const std::uint64_t item : completed_by_pass) {
    const std::vector<Message> messages = steam.pass();
    if (item == 0) {
      EXPECT_TRUE(messages.empty());
      continue;
    }
    ASSERT_EQ(messages.size(), 1u) << "item " << item;
    expect_download_notice(messages[0], 221100, item, 1);
    EXPECT_EQ(steam.state(item), 1u | 4u);
  }
  EXPECT_EQ(misuse_count(), 0u);
}

TEST(SimCallResult, CompletesAfterItsPassesAndIsFetchedOnceAsTheOutcomeSays) {
  Caller steam(R"({"items":[
      {"id":10,"subscribe":{"afterPasses":2,"ioFailure":true}},
      {"id":11,"subscribe":{"fetchFails":true}},
      {"id":12,"subscribe":{"handle":"1001","result":15,"resultSize":4}},
      {"id":13,"subscribe":{"handle":1001}},
      {"id":14,"subscribe":{"never":true}}]})");
  const Layout at = layout();
  const int natural = static_cast<int>(at.result_size);

  const SteamAPICall_t h10 = SteamAPI_ISteamUGC_SubscribeItem(steam.ugc, 10);
  const SteamAPICall_t h11 = SteamAPI_ISteamUGC_SubscribeItem(steam.ugc, 11);
  EXPECT_EQ(SteamAPI_ISteamUGC_SubscribeItem(steam.ugc, 12), 1001u);
  EXPECT_EQ(SteamAPI_ISteamUGC_SubscribeItem(steam.ugc, 13), 1001u);
  const SteamAPICall_t h14 = SteamAPI_ISteamUGC_SubscribeItem(steam.ugc, 14);
  // Sequential handles pass over the one the scenario forces, so only forced handles are shared.
  EXPECT_EQ(h10, 1000u);
  EXPECT_EQ(h11, 1002u);
  EXPECT_EQ(h14, 1003u);

  bool io_failure = false;
  EXPECT_TRUE(steam.fetch(h10, natural, 1313, io_failure).empty()) << "not completed yet";

  // Pass 1: the calls due after one pass complete, in the order they were made.
  const std::vector<Message> first = steam.pass();
  ASSERT_EQ(first.size(), 3u);
  const std::vector<std::pair<SteamAPICall_t, std::uint32_t>> announced = {
      {h11, at.result_size}, {1001, 4}, {1001, at.result_size}};
  for (std::size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(first[i].id, 703);
    ASSERT_EQ(first[i].data.size(), 16u);
    EXPECT_EQ(read_at<std::uint64_t>(first[i].data, 0), announced[i].first);
    EXPECT_EQ(read_at<std::int32_t>(first[i].data, 8), 1313);
    EXPECT_EQ(read_at<std::uint32_t>(first[i].data, 12), announced[i].second);
  }
  EXPECT_TRUE(steam.fetch(h11, natural, 1313, io_failure).empty());
  EXPECT_TRUE(steam.fetch(h11, natural, 1313, io_failure).empty()) << "fetchFails fails for good";
  EXPECT_EQ(steam.state(11), 1u) << "the subscription itself succeeded";

  // The shared handle hands out both results, oldest first, each cut to its announced size.
  const std::vector<unsigned char> shared_first = steam.fetch(1001, 64, 1313, io_failure);
  ASSERT_FALSE(shared_first.empty());
  EXPECT_EQ(read_at<std::int32_t>(shared_first, 0), 15);
  EXPECT_EQ(shared_first[4], 0xAA) << "nothing past the announced 4 bytes";
  EXPECT_FALSE(io_failure);
  const std::vector<unsigned char> shared_second = steam.fetch(1001, natural, 1313, io_failure);
  ASSERT_FALSE(shared_second.empty());
  EXPECT_EQ(read_at<std::int32_t>(shared_second, 0), 1);
  EXPECT_EQ(read_at<std::uint64_t>(shared_second, at.result_item), 13u);
  EXPECT_TRUE(steam.fetch(1001, natural, 1313, io_failure).empty());
  EXPECT_EQ(steam.state(12), 0u) << "result 15 leaves the item unsubscribed";
  EXPECT_EQ(steam.state(13), 1u);

  // Pass 2: the call due after two passes; a larger buffer gets the record and no more.
  const std::vector<Message> second = steam.pass();
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(read_at<std::uint64_t>(second[0].data, 0), h10);
  EXPECT_TRUE(steam.fetch(h10, natural, 1315, io_failure).empty()) << "wrong result id";
  const std::vector<unsigned char> result = steam.fetch(h10, 64, 1313, io_failure);
  ASSERT_FALSE(result.empty());
  EXPECT_TRUE(io_failure);
  EXPECT_EQ(read_at<std::int32_t>(result, 0), 1);
  EXPECT_EQ(read_at<std::uint64_t>(result, at.result_item), 10u);
  EXPECT_EQ(result[at.result_size], 0xAA);
  EXPECT_TRUE(steam.fetch(h10, natural, 1313, io_failure).empty()) << "a result is fetched once";

  // Unsubscribing completes with 1315 and clears the bit; the never-completing call stays silent.
  const SteamAPICall_t undo = SteamAPI_ISteamUGC_UnsubscribeItem(steam.ugc, 10);
  EXPECT_EQ(undo, 1004u);
  const std::vector<Message> third = steam.pass();
  ASSERT_EQ(third.size(), 1u);
  EXPECT_EQ(read_at<std::int32_t>(third[0].data, 8), 1315);
  EXPECT_FALSE(steam.fetch(undo, natural, 1315, io_failure).empty());
  EXPECT_EQ(steam.state(10), 0u);
  for (int pass = 0; pass < 5; ++pass) EXPECT_TRUE(steam.pass().empty());
  EXPECT_EQ(misuse_count(), 0u);
}

TEST(SimMessages, ComeInTheirOrderWithTheirLayoutAndWaitUntilFetched) {
  Caller steam(R"({"items":[{"id":5,"download":{"size":0}}],
      "callbacks":[
        {"pass":1,"id":4242,"bytes":"0102","size":6},
        {"pass":1,"appId":7,"item":"18446744073709551615","result":-3},
        {"pass":1,"id":99,"null":true,"size":8},
        {"pass":2,"id":703,"handle":"1","resultId":1313,"resultSize":70000}]})");

  SteamAPI_ISteamUGC_SubscribeItem(steam.ugc, 5);
  SteamAPI_ISteamUGC_DownloadItem(steam.ugc, 5, true);
  // Nothing fetched in pass 1: its messages wait behind none of pass 2's.
  SteamAPI_ManualDispatch_RunFrame(steam.pipe);
  const std::vector<Message> messages = steam.pass();

  ASSERT_EQ(messages.size(), 6u);
  EXPECT_EQ(messages[0].id, 703) << "call completions first";
  expect_download_notice(messages[1], 221100, 5, 1);
  EXPECT_EQ(messages[2].id, 4242);
  EXPECT_EQ(messages[2].data, (std::vector<unsigned char>{1, 2, 0, 0, 0, 0}))
      << "a size past the data is backed by zeros";
  expect_download_notice(messages[3], 7, 18446744073709551615ULL, -3);
  EXPECT_EQ(messages[4].id, 99);
  EXPECT_TRUE(messages[4].null_data);
  EXPECT_EQ(messages[5].id, 703);
  EXPECT_EQ(read_at<std::uint32_t>(messages[5].data, 12), 70000u);
  EXPECT_EQ(misuse_count(), 0u);
}

TEST(SimScenario, MistakesAreNamedWhereTheyAreAndFailInitialisation) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"{", "parse error"},
      {"[]", "scenario: expected an object"},
      {R"({"itmes":[]})", "scenario: unknown key \"itmes\""},
      {R"({"items":[{"id":"12a"}]})", "items[0].id: "},
      {R"({"items":[{"state":1}]})", "items[0]: missing \"id\""},
      {R"({"items":[{"id":1},{"id":"1"}]})", "items[1].id: 1 is listed twice"},
      {R"({"items":[{"id":1,"state":4294967296}]})", "items[0].state: "},
      {R"({"items":[{"id":1,"subscribe":{"afterPasses":0}}]})", "items[0].subscribe.afterPasses: "},
      {R"({"items":[{"id":1,"download":{"everyPasses":0}}]})", "items[0].download.everyPasses: "},
      {R"({"items":[{"id":1,"install":{"folder":"a","folderFill":"x"}}]})", "items[0].install: "},
      {R"({"items":[{"id":1,"script":[{"pass":2,"stat":1}]}]})", "items[0].script[0]: unknown key"},
      {R"({"init":{"messageBytes":"4g"}})", "init.messageBytes: "},
      {R"({"account":{"steamId":1.5}})", "account.steamId: "},
      {R"({"callbacks":[{"pass":0,"id":1}]})", "callbacks[0].pass: "},
      {R"({"callbacks":[{"pass":1,"bytes":"00","item":"5"}]})", "callbacks[0]: mixes"},
      {R"({"callbacks":[{"pass":1,"id":1,"size":2000000}]})", "callbacks[0].size: "},
      {R"({"items":[{"id":1,"subscribe":{"result":"diskfull"}}]})",
       "items[0].subscribe.result: expected a result code or one of \"generic\", \"deleted\""},
      {R"({"items":[{"id":1,"subscribe":{"removedAtExit":true}}]})", "items[0].subscribe: unknown key"},
      {R"({"blockingCalls":[{"call":"SteamAPI_RunFrame"}]})", "blockingCalls[0].call: "},
      {R"({"blockingCalls":[{"call":"SteamAPI_Shutdown","ms":5,"forever":true}]})",
       "blockingCalls[0]: give either"},
  };
  for (const auto& [json, where] : cases) {
    const std::string error = steam_sim::load_scenario(json);
    EXPECT_NE(error.find(where), std::string::npos) << json << "\ngave: " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);

    char message[STEAM_INIT_MESSAGE_SIZE] = {};
    EXPECT_EQ(SteamAPI_InitFlat(message), 1) << json;
    EXPECT_EQ(std::string(message), "steam_sim: cannot use scenario: " + error);
  }
}

TEST(SimScenario, RawBytesAndExtremeValuesReachTheCallerExactly) {
  const std::string long_message(2000, 'm');
  ASSERT_EQ(
      steam_sim::load_scenario(R"({"init":{"result":3,"message":")" + long_message + R"("}})"), "");
  char message[STEAM_INIT_MESSAGE_SIZE];
  std::memset(message, 'X', sizeof message);
  EXPECT_EQ(SteamAPI_InitFlat(message), 3);
  EXPECT_EQ(std::string(message), long_message.substr(0, 1023)) << "cut to fit, NUL-terminated";

  Caller steam(R"({"account":{"steamId":"18446744073709551615","personaBytes":"41ff42"},
      "items":[{"id":1,"install":{"folderFill":"x","size":1,"timestamp":2}},
               {"id":2,"install":{"folderBytes":"c3"}}]})");
  EXPECT_EQ(SteamAPI_ISteamUser_GetSteamID(SteamAPI_SteamUser_v023()), 18446744073709551615ULL);
  EXPECT_STREQ(SteamAPI_ISteamFriends_GetPersonaName(SteamAPI_SteamFriends_v018()),
               "A\xff"
               "B");

  std::vector<char> folder(4097, 'Z');
  std::uint64_t size = 0;
  std::uint32_t timestamp = 0;
  ASSERT_TRUE(
      SteamAPI_ISteamUGC_GetItemInstallInfo(steam.ugc, 1, &size, folder.data(), 4096, &timestamp));
  EXPECT_EQ(std::string(folder.data(), 4096), std::string(4096, 'x')) << "filled, no NUL";
  EXPECT_EQ(folder[4096], 'Z') << "nothing written past the size given";
  ASSERT_TRUE(
      SteamAPI_ISteamUGC_GetItemInstallInfo(steam.ugc, 2, &size, folder.data(), 1, &timestamp));
  EXPECT_EQ(folder[0], '\xc3');
  EXPECT_EQ(folder[1], 'x') << "a folder that does not fit is cut, without a NUL past the buffer";

  // An unlisted item has every default.
  EXPECT_FALSE(
      SteamAPI_ISteamUGC_GetItemInstallInfo(steam.ugc, 3, &size, folder.data(), 8, &timestamp));
  EXPECT_EQ(steam.state(3), 0u);

  ASSERT_EQ(steam_sim::load_scenario(R"({"account":{"persona":null},"interfaces":{"ugc":false}})"),
            "");
  EXPECT_EQ(SteamAPI_InitFlat(message), 0);
  EXPECT_EQ(SteamAPI_ISteamFriends_GetPersonaName(SteamAPI_SteamFriends_v018()), nullptr);
  EXPECT_EQ(SteamAPI_SteamUGC_v021(), nullptr);
  EXPECT_EQ(misuse_count(), 0u);
}

TEST(SimScenario, TheReadyScenariosLoad) {
  const auto folder = std::filesystem::path(__FILE__).parent_path() / "../../sim/scenarios";
  std::size_t loaded = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".json") continue;
    std::ifstream file(entry.path(), std::ios::binary);
    std::stringstream json;
    json << file.rdbuf();
    EXPECT_EQ(steam_sim::load_scenario(json.str()), "") << entry.path();
    ++loaded;
  }
  EXPECT_GE(loaded, 3u);
}

TEST(SimLog, RecordsEachCallWithItsArgumentsAndResult) {
  quennet::platform::set_environment_variable("SteamAppId", "221100");
  quennet::platform::set_environment_variable("SteamGameId", "a\nb");
  Caller steam(R"({"pipe":7,"items":[{"id":5,"state":5,"subscribe":{"afterPasses":1}}]})");
  SteamAPI_ISteamUGC_GetItemState(steam.ugc, 5);
  char folder[16];
  std::uint64_t size = 0;
  std::uint32_t timestamp = 0;
  SteamAPI_ISteamUGC_GetItemInstallInfo(steam.ugc, 5, &size, folder, sizeof folder, &timestamp);
  const SteamAPICall_t call = SteamAPI_ISteamUGC_SubscribeItem(steam.ugc, 5);
  steam.pass();
  bool io_failure = false;
  steam.fetch(call, 12, 1313, io_failure);
  SteamAPI_ISteamUGC_DownloadItem(steam.ugc, 6, false);
  steam.progress(6);
  SteamAPI_Shutdown();

  const std::string log = steam_sim::call_log();
  const std::string expected =
      "SteamAPI_InitFlat SteamAppId=221100 SteamGameId=a\\x0ab -> 0\n"
      "SteamAPI_ManualDispatch_Init\n"
      "SteamAPI_SteamUGC_v021\n"
      "SteamAPI_GetHSteamPipe -> 7\n"
      "SteamAPI_ISteamUGC_GetItemState 5 -> 5\n"
      "SteamAPI_ISteamUGC_GetItemInstallInfo 5 16 -> false\n"
      "SteamAPI_ISteamUGC_SubscribeItem 5 -> 1000\n"
      "SteamAPI_ManualDispatch_RunFrame 7\n"
      "SteamAPI_ManualDispatch_GetNextCallback 7 -> 703\n"
      "SteamAPI_ManualDispatch_FreeLastCallback 7\n"
      "SteamAPI_ManualDispatch_GetNextCallback 7 -> none\n"
      "SteamAPI_ManualDispatch_GetAPICallResult 7 1000 12 1313 -> true\n"
      "SteamAPI_ISteamUGC_DownloadItem 6 false -> true\n"
      "SteamAPI_ISteamUGC_GetItemDownloadInfo 6 -> false\n"
      "SteamAPI_Shutdown";
  // Shutdown may add the size of standard output, when that is a file; its line is the last.
  EXPECT_EQ(log.substr(0, expected.size()), expected) << log;
  EXPECT_EQ(log.find('\n', expected.size()), log.size() - 1) << log;
  quennet::platform::set_environment_variable("SteamGameId", "221100");
}

TEST(SimMisuse, EachBrokenRuleIsLoggedAndHarmless) {
  ASSERT_EQ(steam_sim::load_scenario(R"({"callbacks":[{"pass":1,"id":1}]})"), "");
  auto misused = [last = std::size_t{0}](const char* what) mutable {
    const std::size_t now = misuse_count();
    EXPECT_EQ(now, last + 1) << what;
    last = now;
  };

  EXPECT_EQ(SteamAPI_GetHSteamPipe(), 0);
  misused("a call before InitFlat");
  char message[STEAM_INIT_MESSAGE_SIZE];
  ASSERT_EQ(SteamAPI_InitFlat(message), 0);
  SteamAPI_ManualDispatch_RunFrame(1);
  misused("RunFrame before ManualDispatch_Init");
  SteamAPI_ManualDispatch_Init();
  SteamAPI_ManualDispatch_Init();
  misused("ManualDispatch_Init twice");
  SteamAPI_ManualDispatch_RunFrame(2);
  misused("a wrong pipe");

  alignas(8) unsigned char record[24];
  EXPECT_FALSE(SteamAPI_ManualDispatch_GetNextCallback(1, record)) << "no pass has run yet";
  SteamAPI_ManualDispatch_RunFrame(1);
  ASSERT_TRUE(SteamAPI_ManualDispatch_GetNextCallback(1, record));
  EXPECT_FALSE(SteamAPI_ManualDispatch_GetNextCallback(1, record));
  misused("GetNextCallback before freeing");
  SteamAPI_ManualDispatch_FreeLastCallback(1);
  SteamAPI_ManualDispatch_FreeLastCallback(1);
  misused("FreeLastCallback with nothing to free");

  EXPECT_FALSE(SteamAPI_ManualDispatch_GetAPICallResult(1, 1000, nullptr, 16, 1313, nullptr));
  misused("GetAPICallResult with null buffers");
  EXPECT_EQ(SteamAPI_ISteamUGC_GetItemState(nullptr, 1), 0u);
  misused("a null interface");
  EXPECT_FALSE(
      SteamAPI_ISteamUGC_GetItemDownloadInfo(SteamAPI_SteamUGC_v021(), 1, nullptr, nullptr));
  misused("null outputs");

  SteamAPI_Shutdown();
  SteamAPI_Shutdown();
  misused("Shutdown twice");
  EXPECT_EQ(SteamAPI_SteamUGC_v021(), nullptr);
  misused("a call after Shutdown");
}

}  // namespace
