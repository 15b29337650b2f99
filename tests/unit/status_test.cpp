#include "workshop/status.h"

#include <gtest/gtest.h>

#include "simulated_steam.h"

namespace quennet {
namespace {

TEST(Status, ReportsEachIdAsSteamAnswersInCommandLineOrder) {
  test::load_scenario(R"({"items":[
      {"id":"1","state":0},
      {"id":"2","state":32},
      {"id":"3","state":2},
      {"id":"4","state":5,"install":{"folder":"C:\\mods\\4","size":1234,"timestamp":4294967295}},
      {"id":"5","state":0,"install":{"folderBytes":"2f6d6f6473ff2f35","size":1,"timestamp":2}},
      {"id":"6","state":4},
      {"id":"7","state":127,"install":{"folderFill":"x","size":0,"timestamp":0}}]})");
  SteamClient client = test::open_session();
  test::Recorder recorder;
  const std::vector<WorkshopId> ids{1, 2, 3, 4, 5, 6, 7, 1};
  run_status(client, ids, recorder.emit());

  const std::string no_install = R"(,"folder":null,"sizeOnDisk":0,"timestamp":0})";
  const std::string none = R"("subscribed":false,"installed":false,"needsUpdate":false,"downloading":false)";
  ASSERT_EQ(recorder.lines.size(), 8u);
  EXPECT_EQ(recorder.lines[0], R"({"type":"state","workshopId":"1",)" + none + no_install);
  EXPECT_EQ(recorder.lines[1], R"({"type":"state","workshopId":"2","subscribed":false,"installed":false,)"
                               R"("needsUpdate":false,"downloading":true)" + no_install);
  EXPECT_EQ(recorder.lines[2], R"({"type":"state","workshopId":"3",)" + none + no_install);
  EXPECT_EQ(recorder.lines[3], R"({"type":"state","workshopId":"4","subscribed":true,"installed":true,)"
                               R"("needsUpdate":false,"downloading":false,"folder":"C:\\mods\\4",)"
                               R"("sizeOnDisk":1234,"timestamp":4294967295})");
  // Flags and folder are two independent answers, reported as given even when they disagree.
  EXPECT_EQ(recorder.lines[4], R"({"type":"state","workshopId":"5",)" + none +
                                   ",\"folder\":\"/mods\xEF\xBF\xBD/5\",\"sizeOnDisk\":1,\"timestamp\":2}");
  EXPECT_EQ(recorder.lines[5], R"({"type":"state","workshopId":"6","subscribed":false,"installed":true,)"
                               R"("needsUpdate":false,"downloading":false)" + no_install);
  // A folder filling the whole buffer without a NUL ends at the buffer's end.
  EXPECT_EQ(recorder.lines[6], R"({"type":"state","workshopId":"7","subscribed":true,"installed":true,)"
                               R"("needsUpdate":true,"downloading":true,"folder":")" +
                                   std::string(4096, 'x') + R"(","sizeOnDisk":0,"timestamp":0})");
  EXPECT_EQ(recorder.lines[7], recorder.lines[0]);

  // The pump runs once, before the first query; then state and install information per id.
  const auto log = test::sim_log();
  std::vector<std::string> queries;
  for (const auto& line : log) {
    if (line.rfind("SteamAPI_ManualDispatch_RunFrame", 0) == 0 || line.rfind("SteamAPI_ISteamUGC_", 0) == 0) {
      queries.push_back(line.substr(0, line.find(" -> ")));
    }
  }
  ASSERT_EQ(queries.size(), 17u);
  EXPECT_EQ(queries[0], "SteamAPI_ManualDispatch_RunFrame 1");
  EXPECT_EQ(queries[1], "SteamAPI_ISteamUGC_GetItemState 1");
  EXPECT_EQ(queries[2], "SteamAPI_ISteamUGC_GetItemInstallInfo 1 4096");
  EXPECT_EQ(test::count_calls(log, "SteamAPI_SteamUGC_v021"), 16u);  // a fresh interface per call
}

TEST(Status, AnEmptyListStillRunsThePumpOnce) {
  test::load_scenario("{}");
  SteamClient client = test::open_session();
  test::Recorder recorder;
  run_status(client, {}, recorder.emit());
  EXPECT_TRUE(recorder.lines.empty());
  EXPECT_EQ(test::count_calls(test::sim_log(), "SteamAPI_ManualDispatch_RunFrame"), 1u);
}

}  // namespace
}  // namespace quennet
