#include "workshop/download.h"

#include <gtest/gtest.h>

#include "simulated_steam.h"

namespace quennet {
namespace {

using namespace std::chrono_literals;

using test::Session;

TEST(Download, AnInstalledUpToDateItemCompletesInTheFirstPass) {
  Session run(R"({"items":[{"id":"5","state":5,"install":{"folder":"/m/5","size":1234,"timestamp":1}}]})");
  EXPECT_TRUE(run.download({5}));
  EXPECT_EQ(run.recorder.events, (std::vector<Event>{Progress{5, 1234, 1234}, Installed{5, "/m/5"}}));
  EXPECT_EQ(run.passes(), 1u);
  const auto log = test::sim_log();
  EXPECT_EQ(test::count_calls(log, "SteamAPI_ISteamUGC_SubscribeItem"), 0u);
  EXPECT_EQ(test::count_calls(log, "SteamAPI_ISteamUGC_DownloadItem 5 true"), 1u);
}

TEST(Download, ProgressIsWrittenOnChangeAndTheFinalRecordRepeatsTheLastTotal) {
  Session run(R"({"items":[
      {"id":"5","state":17,"downloadInfo":{"done":10,"total":100},"script":[
          {"pass":7,"downloadInfo":{"done":50,"total":100}},
          {"pass":13,"state":5,"install":{"folder":"/m/5","size":999,"timestamp":1}}]},
      {"id":"6","state":17,"downloadInfo":{"done":0,"total":0},"script":[
          {"pass":3,"downloadInfo":null},
          {"pass":10,"state":5,"install":{"folder":"/m/6","size":7,"timestamp":1}}]}]})");
  EXPECT_TRUE(run.download({5, 6}));
  EXPECT_EQ(run.recorder.events, (std::vector<Event>{
                                    Progress{5, 10, 100},
                                    Progress{5, 50, 100},
                                    Progress{6, 7, 7},
                                    Installed{6, "/m/6"},
                                    Progress{5, 100, 100},
                                    Installed{5, "/m/5"},
                                }));
  EXPECT_EQ(run.passes(), 13u);
  // Three queries per downloading item and pass, each on a fresh interface.
  EXPECT_EQ(test::count_calls(test::sim_log(), "SteamAPI_ISteamUGC_GetItemDownloadInfo 5"), 12u);
}

TEST(Download, CountsChangingEveryPassGiveAtMostOneRecordPerIdIn250Ms) {
  Session run(R"({"items":[{"id":"5","state":1,"download":{"size":1000,"step":10,"folder":"/m/5"}}]})");
  EXPECT_TRUE(run.download({5}));
  const auto& events = run.recorder.events;
  ASSERT_GE(events.size(), 10u);
  EXPECT_EQ(events[events.size() - 2], Event(Progress{5, 1000, 1000}));
  EXPECT_EQ(events.back(), Event(Installed{5, "/m/5"}));
  for (std::size_t i = 1; i + 2 < events.size(); ++i) {
    EXPECT_GE(run.recorder.times[i] - run.recorder.times[i - 1], 250ms) << i;
  }
  EXPECT_EQ(run.clock.sleeps, run.passes() - 1);  // 50 ms between passes, none after the last
}

TEST(Download, AnItemInstalledWithoutInstallInformationNeverCompletes) {
  Session run(R"({"items":[{"id":"5","state":5}]})");
  EXPECT_FALSE(run.download({5}, 1));
  EXPECT_EQ(run.recorder.events, (std::vector<Event>{Error{
                                    ErrorCode::Timeout, "workshop item 5 did not finish downloading within 1s", "5"}}));
  EXPECT_EQ(run.passes(), 21u);  // the limit is reached once 20 pauses of 50 ms have passed
}

TEST(Download, CompletionIsTestedBeforeTheLimit) {
  const char* at_21 = R"({"items":[{"id":"5","state":1,"script":[
      {"pass":21,"state":5,"install":{"folder":"f","size":3,"timestamp":0}}]}]})";
  Session in_time(at_21);
  EXPECT_TRUE(in_time.download({5}, 1));
  EXPECT_EQ(in_time.recorder.events, (std::vector<Event>{Progress{5, 3, 3}, Installed{5, "f"}}));

  const char* at_22 = R"({"items":[{"id":"5","state":1,"script":[
      {"pass":22,"state":5,"install":{"folder":"f","size":3,"timestamp":0}}]}]})";
  Session late(at_22);
  EXPECT_FALSE(late.download({5}, 1));
  EXPECT_EQ(late.recorder.events.size(), 1u);
}

TEST(Download, ItemsStillActiveAtTheLimitTimeOutInListOrder) {
  Session run(R"({"items":[{"id":"5","state":1},{"id":"6","state":1}]})");
  run.clock.extra_per_sleep = 10min;
  EXPECT_FALSE(run.download({6, 5}));
  EXPECT_EQ(run.recorder.events,
            (std::vector<Event>{
                Error{ErrorCode::Timeout, "workshop item 6 did not finish downloading within 1800s", "6"},
                Error{ErrorCode::Timeout, "workshop item 5 did not finish downloading within 1800s", "5"},
            }));
  EXPECT_EQ(run.passes(), 4u);
}

TEST(Download, TheLargestLimitNeverEndsTheCommand) {
  Session run(R"({"items":[{"id":"5","state":1,"script":[
      {"pass":5,"state":5,"install":{"folder":"f","size":3,"timestamp":0}}]}]})");
  run.clock.extra_per_sleep = std::chrono::hours(24 * 365 * 10);
  EXPECT_TRUE(run.download({5}, 18446744073709551615u));
  EXPECT_EQ(run.passes(), 5u);
}

TEST(Download, AFailureAnnouncedForACompletedItemWritesNothing) {
  Session run(R"({
      "items":[{"id":"5","state":5,"install":{"folder":"a","size":1,"timestamp":0}},
               {"id":"6","state":1,"script":[{"pass":5,"state":5,"install":{"folder":"b","size":2,"timestamp":0}}]}],
      "callbacks":[{"pass":2,"id":3406,"appId":221100,"item":"5","result":16},
                   {"pass":2,"id":3406,"appId":221100,"item":"99","result":16}]})");
  EXPECT_TRUE(run.download({5, 6}));
  EXPECT_EQ(run.recorder.events, (std::vector<Event>{Progress{5, 1, 1}, Installed{5, "a"},
                                                          Progress{6, 2, 2}, Installed{6, "b"}}));
}

TEST(Download, RepeatedIdsShareOneSpacingEntryAndAFailureEndsOnlyTheFirstActiveTask) {
  Session run(R"({
      "items":[{"id":"5","state":1,"download":{"size":1000,"step":100,"folder":"/m/5"}},
               {"id":"6","state":5,"install":{"folder":"/m/6","size":6,"timestamp":0}}],
      "callbacks":[{"pass":3,"id":3406,"appId":221100,"item":"5","result":16}]})");
  EXPECT_FALSE(run.download({5, 6, 5}));
  const auto& events = run.recorder.events;
  std::vector<std::size_t> progress_of_5;
  std::size_t errors = 0;
  for (std::size_t i = 0; i < events.size(); ++i) {
    if (std::holds_alternative<Error>(events[i])) {
      ++errors;
      EXPECT_EQ(events[i], Event(Error{ErrorCode::Timeout, "download of 5 failed: Steam returned: operation timed out", "5"}));
    }
    const auto* progress = std::get_if<Progress>(&events[i]);
    if (progress && progress->workshopId == 5) progress_of_5.push_back(i);
  }
  EXPECT_EQ(errors, 1u);
  EXPECT_EQ(events.back(), Event(Installed{5, "/m/5"}));  // the second task of id 5 went on
  ASSERT_GE(progress_of_5.size(), 3u);
  for (std::size_t k = 1; k + 1 < progress_of_5.size(); ++k) {
    EXPECT_GE(run.recorder.times[progress_of_5[k]] - run.recorder.times[progress_of_5[k - 1]], 250ms);
  }
}

TEST(Download, PerItemFailuresEndOnlyTheirItem) {
  Session run(R"({"items":[
      {"id":"5","subscribe":{"result":9}},
      {"id":"6","subscribe":{"handle":"77"}},
      {"id":"7","subscribe":{"handle":"77"},"script":[{"pass":3,"state":5,"install":{"folder":"g","size":9,"timestamp":0}}]},
      {"id":"8","subscribe":{"ioFailure":true}},
      {"id":"9","state":1,"acceptDownload":false},
      {"id":"10","state":5,"install":{"folder":"h","size":1,"timestamp":0}}]})");
  EXPECT_FALSE(run.download({5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(run.recorder.events,
            (std::vector<Event>{
                Error{ErrorCode::ItemInvalid, "subscribing to 5 failed: Steam returned: a file was not found", "5"},
                Error{ErrorCode::Unknown, "subscribe call for 6 was dropped by Steam", "6"},
                Error{ErrorCode::Unknown, "subscribing to 8 failed: Steam returned: IO failure", "8"},
                Error{ErrorCode::ItemInvalid, "Steam rejected the download of 9: the workshop id is invalid or you are not logged on", "9"},
                Progress{10, 1, 1},
                Installed{10, "h"},
                Progress{7, 9, 9},
                Installed{7, "g"},
            }));
}

TEST(Download, SteamsEndFinishesThePassThenEndsEveryActiveItem) {
  // 103 (servers gone) is no end; 704 arrives in pass 21, where the 1 s limit is reached as well.
  Session quitting(R"({
      "items":[{"id":"5","state":1},{"id":"7","state":1},
               {"id":"6","state":1,"script":[{"pass":21,"state":5,"install":{"folder":"f","size":3,"timestamp":0}}]}],
      "callbacks":[{"pass":2,"id":103},
                   {"pass":21,"id":3406,"appId":221100,"item":"7","result":16},{"pass":21,"id":704}]})");
  EXPECT_FALSE(quitting.download({5, 6, 7}, 1));
  EXPECT_EQ(quitting.recorder.events,
            (std::vector<Event>{
                Error{ErrorCode::Timeout, "download of 7 failed: Steam returned: operation timed out", "7"},
                Progress{6, 3, 3},
                Installed{6, "f"},
                Error{ErrorCode::SteamNotRunning, "Steam is shutting down: workshop item 5 did not finish downloading", "5"},
            }));
  EXPECT_EQ(quitting.passes(), 21u);

  // The first notice names the end.
  Session lost(R"({"items":[{"id":"5","state":1},{"id":"6","state":0}],
      "callbacks":[{"pass":2,"id":117,"bytes":"00"},{"pass":2,"id":704}]})");
  EXPECT_FALSE(lost.download({5, 6}));
  EXPECT_EQ(lost.recorder.events,
            (std::vector<Event>{
                Error{ErrorCode::SteamNotRunning, "lost the connection to the Steam client: workshop item 5 did not finish downloading", "5"},
                Error{ErrorCode::SteamNotRunning, "lost the connection to the Steam client: workshop item 6 did not finish downloading", "6"},
            }));
  EXPECT_EQ(lost.passes(), 2u);

  // An item completing in that pass still ends the run with success when it was the last.
  Session last(R"({"items":[{"id":"6","state":1,"script":[
      {"pass":2,"state":5,"install":{"folder":"f","size":3,"timestamp":0}}]}],
      "callbacks":[{"pass":2,"id":704}]})");
  EXPECT_TRUE(last.download({6}));
  EXPECT_EQ(last.recorder.events, (std::vector<Event>{Progress{6, 3, 3}, Installed{6, "f"}}));
}

}  // namespace
}  // namespace quennet
