#include "workshop/unsubscribe.h"

#include <gtest/gtest.h>

#include "simulated_steam.h"

namespace quennet {
namespace {

struct Session {
  explicit Session(std::string_view scenario) { test::load_scenario(scenario); }

  bool unsubscribe(std::vector<WorkshopId> ids) {
    SteamClient client = test::open_session();
    return run_unsubscribe(client, ids, clock.clock(), recorder.emit());
  }

  std::size_t passes() const { return test::count_calls(test::sim_log(), "SteamAPI_ManualDispatch_RunFrame"); }

  test::VirtualClock clock;
  test::Recorder recorder;
};

std::string error(const std::string& code, const std::string& message, WorkshopId id) {
  return R"({"type":"error","code":")" + code + R"(","message":")" + message + R"(","workshopId":")" +
         decimal(id) + "\"}";
}

TEST(Unsubscribe, RequestsGoOutFirstAndConfirmationsWriteNothing) {
  Session run(R"({"items":[{"id":"5","state":1},{"id":"6","state":0}]})");
  EXPECT_TRUE(run.unsubscribe({5, 6, 5}));
  EXPECT_TRUE(run.recorder.lines.empty());
  EXPECT_EQ(run.passes(), 1u);
  const auto log = test::sim_log();
  std::vector<std::string> calls;
  for (const auto& line : log) {
    if (line.rfind("SteamAPI_ISteamUGC_", 0) == 0 || line.rfind("SteamAPI_ManualDispatch_RunFrame", 0) == 0) {
      calls.push_back(line.substr(0, line.find(" -> ")));
    }
  }
  EXPECT_EQ(calls, (std::vector<std::string>{
                       "SteamAPI_ISteamUGC_UnsubscribeItem 5",
                       "SteamAPI_ISteamUGC_UnsubscribeItem 6",
                       "SteamAPI_ISteamUGC_UnsubscribeItem 5",
                       "SteamAPI_ManualDispatch_RunFrame 1",
                   }));
}

TEST(Unsubscribe, AFailureIsWrittenWhenItArrivesAndTheOthersAreStillAwaited) {
  Session run(R"({"items":[
      {"id":"5","unsubscribe":{"afterPasses":4}},
      {"id":"6","unsubscribe":{"result":2,"afterPasses":2}},
      {"id":"7","unsubscribe":{"afterPasses":6}}]})");
  EXPECT_FALSE(run.unsubscribe({5, 6, 7}));
  EXPECT_EQ(run.recorder.lines, (std::vector<std::string>{error(
                                    "unknown", "unsubscribing 6 failed: Steam returned: a generic failure from the steamworks API", 6)}));
  EXPECT_EQ(run.recorder.log_positions.size(), 1u);
  EXPECT_EQ(run.passes(), 6u);
}

TEST(Unsubscribe, UnconfirmedRequestsTimeOutAfter30SecondsInOrderAfterEarlierFailures) {
  Session run(R"({"items":[
      {"id":"7","unsubscribe":{"never":true}},
      {"id":"5","unsubscribe":{"handle":"88","never":true}},
      {"id":"6","unsubscribe":{"handle":"88","never":true}},
      {"id":"8","unsubscribe":{"fetchFails":true}}]})");
  EXPECT_FALSE(run.unsubscribe({7, 5, 6, 8}));
  EXPECT_EQ(run.recorder.lines, (std::vector<std::string>{
                                    error("unknown", "unsubscribe call for 5 was dropped", 5),
                                    error("timeout", "Steam did not confirm unsubscribing 7", 7),
                                    error("timeout", "Steam did not confirm unsubscribing 6", 6),
                                    error("timeout", "Steam did not confirm unsubscribing 8", 8),
                                }));
  EXPECT_EQ(run.passes(), 601u);  // 600 pauses of 50 ms make the 30 seconds
}

TEST(Unsubscribe, OutcomesAreLookedAtBeforeTheLimit) {
  Session run(R"({"items":[{"id":"5","unsubscribe":{"afterPasses":601}}]})");
  EXPECT_TRUE(run.unsubscribe({5}));
  EXPECT_TRUE(run.recorder.lines.empty());
  EXPECT_EQ(run.passes(), 601u);
}

}  // namespace
}  // namespace quennet
