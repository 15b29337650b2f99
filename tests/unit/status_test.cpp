#include "workshop/status.h"

#include <gtest/gtest.h>

#include "simulated_steam.h"

namespace quennet {
namespace {

using test::Session;

TEST(Status, ReportsEachIdAsSteamAnswersInCommandLineOrder) {
  Session run(R"({"items":[
      {"id":"1","state":0},
      {"id":"2","state":32},
      {"id":"3","state":2},
      {"id":"4","state":5,"install":{"folder":"C:\\mods\\4","size":1234,"timestamp":4294967295}},
      {"id":"5","state":0,"install":{"folderBytes":"2f6d6f6473ff2f35","size":1,"timestamp":2}},
      {"id":"6","state":4},
      {"id":"7","state":127,"install":{"folderFill":"x","size":0,"timestamp":0}}]})");
  run.status({1, 2, 3, 4, 5, 6, 7, 1});

  const State nothing{1, false, false, false, false, std::nullopt, 0, 0};
  EXPECT_EQ(run.recorder.events,
            (std::vector<Event>{
                nothing,
                State{2, false, false, false, true, std::nullopt, 0, 0},
                State{3, false, false, false, false, std::nullopt, 0, 0},  // bit 2 means nothing
                State{4, true, true, false, false, "C:\\mods\\4", 1234, 4294967295},
                // Flags and folder are two independent answers, reported as given even when they
                // disagree; the folder's invalid byte is replaced.
                State{5, false, false, false, false, "/mods\xEF\xBF\xBD/5", 1, 2},
                State{6, false, true, false, false, std::nullopt, 0, 0},
                // A folder filling the whole buffer without a NUL ends at the buffer's end.
                State{7, true, true, true, true, std::string(4096, 'x'), 0, 0},
                nothing,
            }));

  // The pump runs once, before the first query; then state and install information per id.
  const auto log = test::sim_log();
  const auto queries = test::calls_of(log, {"SteamAPI_ManualDispatch_RunFrame", "SteamAPI_ISteamUGC_"});
  ASSERT_EQ(queries.size(), 17u);
  EXPECT_EQ(queries[0], "SteamAPI_ManualDispatch_RunFrame 1");
  EXPECT_EQ(queries[1], "SteamAPI_ISteamUGC_GetItemState 1");
  EXPECT_EQ(queries[2], "SteamAPI_ISteamUGC_GetItemInstallInfo 1 4096");
  EXPECT_EQ(test::count_calls(log, "SteamAPI_SteamUGC_v021"), 16u);  // a fresh interface per call
}

TEST(Status, AnEmptyListStillRunsThePumpOnce) {
  Session run("{}");
  run.status({});
  EXPECT_TRUE(run.recorder.events.empty());
  EXPECT_EQ(test::count_calls(test::sim_log(), "SteamAPI_ManualDispatch_RunFrame"), 1u);
}

}  // namespace
}  // namespace quennet
