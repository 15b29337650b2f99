#include "main/run.h"

#include <gtest/gtest.h>

#include "simulated_steam.h"

namespace quennet {
namespace {

using test::Session;

TEST(Run, WhoamiAnswersReadyThenDoneAndShutsSteamDownAfterTheLastRecord) {
  Session run(R"({"account":{"steamId":"76561198000000001","personaBytes":"22415c09ff"}})");
  EXPECT_EQ(run.run({"whoami"}), 0);
  EXPECT_EQ(run.recorder.events,
            (std::vector<Event>{Ready{76561198000000001u, "\"A\\\t\xEF\xBF\xBD"}, Done{}}));
  const auto log = test::sim_log();
  EXPECT_EQ(test::count_calls(log, "SteamAPI_Shutdown"), 1u);
  EXPECT_EQ(log.back(), "SteamAPI_Shutdown");
  EXPECT_LT(run.recorder.log_positions.back(), log.size());  // Done came before Shutdown
  // The identity is read on fresh interfaces, Steam ID first.
  EXPECT_LT(std::find(log.begin(), log.end(), "SteamAPI_SteamUser_v023") - log.begin(),
            std::find(log.begin(), log.end(), "SteamAPI_SteamFriends_v018") - log.begin());
}

TEST(Run, ANullPersonaIsAnEmptyName) {
  Session run(R"({"account":{"steamId":"1","persona":null}})");
  EXPECT_EQ(run.run({"whoami"}), 0);
  EXPECT_EQ(run.recorder.events.front(), Event(Ready{1, ""}));
}

TEST(Run, AFailedInitialisationIsOneSteamNotRunningRecord) {
  Session run(R"({"init":{"result":2,"message":"pipe closed"}})");
  EXPECT_EQ(run.run({"status", "5"}), 1);
  EXPECT_EQ(run.recorder.events,
            (std::vector<Event>{Error{ErrorCode::SteamNotRunning,
                                      "Could not connect to Steam (We cannot connect to Steam, steam probably "
                                      "isn't running: pipe closed). Start Steam and log in with an account that "
                                      "owns DayZ, then try again.",
                                      std::nullopt}}));
  EXPECT_EQ(test::count_calls(test::sim_log(), "SteamAPI_Shutdown"), 0u);
}

TEST(Run, ARejectedCommandLineTouchesNothing) {
  Session run("{}");
  EXPECT_EQ(run.run({"status"}), 1);
  EXPECT_EQ(run.recorder.events.size(), 1u);
  EXPECT_TRUE(test::loading_calls().empty());
  EXPECT_TRUE(test::sim_log().empty());
}

TEST(Run, AFailedItemMeansNoDoneAndStatusOneButSteamIsStillShutDown) {
  Session run(R"({"items":[{"id":"5","state":1,"acceptDownload":false},
                      {"id":"6","state":5,"install":{"folder":"f","size":1,"timestamp":0}}]})");
  EXPECT_EQ(run.run({"download", "5", "6"}), 1);
  ASSERT_EQ(run.recorder.events.size(), 4u);
  EXPECT_EQ(run.recorder.events.back(), Event(Installed{6, "f"}));
  EXPECT_EQ(test::sim_log().back(), "SteamAPI_Shutdown");
}

TEST(Run, StatusAndUnsubscribeEndWithDone) {
  Session status(R"({})");
  EXPECT_EQ(status.run({"status", "5", "6"}), 0);
  EXPECT_EQ(status.recorder.events.size(), 4u);
  EXPECT_EQ(status.recorder.events.back(), Event(Done{}));

  Session unsubscribe(R"({})");
  EXPECT_EQ(unsubscribe.run({"unsubscribe", "5"}), 0);
  EXPECT_EQ(unsubscribe.recorder.events.size(), 2u);
}

}  // namespace
}  // namespace quennet
