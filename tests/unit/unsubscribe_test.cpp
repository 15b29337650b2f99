#include "workshop/unsubscribe.h"

#include <gtest/gtest.h>

#include "simulated_steam.h"

namespace quennet {
namespace {

using test::Session;

TEST(Unsubscribe, RequestsGoOutFirstAndConfirmationsWriteNothing) {
  Session run(R"({"items":[{"id":"5","state":1},{"id":"6","state":0}]})");
  EXPECT_TRUE(run.unsubscribe({5, 6, 5}));
  EXPECT_TRUE(run.recorder.events.empty());
  EXPECT_EQ(run.passes(), 1u);
  EXPECT_EQ(test::calls_of(test::sim_log(), {"SteamAPI_ISteamUGC_", "SteamAPI_ManualDispatch_RunFrame"}), (std::vector<std::string>{
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
  EXPECT_EQ(run.recorder.events, (std::vector<Event>{Error{
                                    ErrorCode::Unknown, "unsubscribing 6 failed: Steam returned: a generic failure from the steamworks API", "6"}}));
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
  EXPECT_EQ(run.recorder.events, (std::vector<Event>{
                                    Error{ErrorCode::Unknown, "unsubscribe call for 5 was dropped", "5"},
                                    Error{ErrorCode::Timeout, "Steam did not confirm unsubscribing 7", "7"},
                                    Error{ErrorCode::Timeout, "Steam did not confirm unsubscribing 6", "6"},
                                    Error{ErrorCode::Timeout, "Steam did not confirm unsubscribing 8", "8"},
                                }));
  EXPECT_EQ(run.passes(), 601u);  // 600 pauses of 50 ms make the 30 seconds
}

TEST(Unsubscribe, OutcomesAreLookedAtBeforeTheLimit) {
  Session run(R"({"items":[{"id":"5","unsubscribe":{"afterPasses":601}}]})");
  EXPECT_TRUE(run.unsubscribe({5}));
  EXPECT_TRUE(run.recorder.events.empty());
  EXPECT_EQ(run.passes(), 601u);
}

TEST(Unsubscribe, SteamsEndTakesThatPassOutcomesThenEndsTheRest) {
  Session lost(R"({"items":[
      {"id":"5","unsubscribe":{"never":true}},
      {"id":"6","unsubscribe":{"afterPasses":2}},
      {"id":"7","unsubscribe":{"result":2,"afterPasses":2}},
      {"id":"8","unsubscribe":{"never":true}}],
      "callbacks":[{"pass":1,"id":103},{"pass":2,"id":117,"bytes":"00"}]})");
  EXPECT_FALSE(lost.unsubscribe({5, 6, 7, 8}));
  EXPECT_EQ(lost.recorder.events,
            (std::vector<Event>{
                Error{ErrorCode::Unknown, "unsubscribing 7 failed: Steam returned: a generic failure from the steamworks API", "7"},
                Error{ErrorCode::SteamNotRunning, "lost the connection to the Steam client: unsubscribing 5 was not confirmed", "5"},
                Error{ErrorCode::SteamNotRunning, "lost the connection to the Steam client: unsubscribing 8 was not confirmed", "8"},
            }));
  EXPECT_EQ(lost.passes(), 2u);

  Session quitting(R"({"items":[{"id":"5","unsubscribe":{"never":true}}],"callbacks":[{"pass":3,"id":704}]})");
  EXPECT_FALSE(quitting.unsubscribe({5}));
  EXPECT_EQ(quitting.recorder.events, (std::vector<Event>{Error{
                                          ErrorCode::SteamNotRunning, "Steam is shutting down: unsubscribing 5 was not confirmed", "5"}}));

  Session confirmed(R"({"items":[{"id":"5","unsubscribe":{"afterPasses":3}}],"callbacks":[{"pass":3,"id":704}]})");
  EXPECT_TRUE(confirmed.unsubscribe({5}));
  EXPECT_TRUE(confirmed.recorder.events.empty());
}

}  // namespace
}  // namespace quennet
