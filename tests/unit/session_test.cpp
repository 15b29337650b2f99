#include "steam/session.h"

#include <gtest/gtest.h>

#include "simulated_steam.h"
#include "steam/interfaces.h"

namespace quennet {
namespace {

using test::count_calls;
using test::sim_log;

TEST(Session, PresentsItselfAsDayzBeforeTheLibraryIsInitialised) {
  test::load_scenario("{}");
  {
    SteamClient client = test::open_session();
    EXPECT_EQ(test::loading_calls(),
              (std::vector<std::string>{"SteamAppId=221100", "SteamGameId=221100", "load"}));
    const auto log = sim_log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "SteamAPI_InitFlat SteamAppId=221100 SteamGameId=221100 -> 0");
    EXPECT_EQ(log[1], "SteamAPI_ManualDispatch_Init");
  }
  EXPECT_EQ(sim_log().back(), "SteamAPI_Shutdown");
}

TEST(Session, FailedInitialisationsDescribeThemselvesAndCallNothingMore) {
  struct Case {
    const char* scenario;
    SteamInitKind kind;
    std::string detail;
  };
  const Case cases[] = {
      {R"({"init":{"result":2,"message":"no pipe"}})", SteamInitKind::NoSteamClient,
       "We cannot connect to Steam, steam probably isn't running: no pipe"},
      {R"({"init":{"result":3}})", SteamInitKind::VersionMismatch, "Steam client appears to be out of date"},
      {R"({"init":{"result":1,"messageBytes":"41ff42"}})", SteamInitKind::FailedGeneric,
       "Some other failure: A\xEF\xBF\xBD" "B"},
      {R"({"init":{"result":9,"message":"odd"}})", SteamInitKind::FailedGeneric, "Some other failure: odd"},
  };
  for (const Case& c : cases) {
    test::load_scenario(c.scenario);
    auto opened = SteamClient::init(test::simulated_loading());
    ASSERT_FALSE(opened.ok()) << c.scenario;
    EXPECT_EQ(opened.error().kind, c.kind);
    EXPECT_EQ(opened.error().describe(), c.detail);
    const auto log = sim_log();
    EXPECT_EQ(log.size(), 1u) << c.scenario;  // InitFlat alone: no dispatch, no shutdown
  }
}

TEST(Session, AMissingLibraryIsAGenericFailureNamingWhatWasMissing) {
  test::load_scenario("{}");
  const SteamLoading loading{
      [](const char*, const char*) {},
      []() -> Result<SteamApi, std::string> { return Failure{std::string("libsteam_api.so has no X")}; },
  };
  auto opened = SteamClient::init(loading);
  ASSERT_FALSE(opened.ok());
  EXPECT_EQ(opened.error().describe(), "Some other failure: libsteam_api.so has no X");
  EXPECT_TRUE(sim_log().empty());
}

TEST(Session, TheLastShareShutsSteamDownOnceAndInterfacesAreNeverCached) {
  test::load_scenario("{}");
  std::optional<SteamClient> client(test::open_session());
  {
    const UgcInterface ugc = client->ugc();
    const UgcInterface again = client->ugc();
    EXPECT_EQ(count_calls(sim_log(), "SteamAPI_SteamUGC_v021"), 2u);
    SteamClient copy = *client;
    client.reset();
    EXPECT_EQ(count_calls(sim_log(), "SteamAPI_Shutdown"), 0u);  // the copy and the handles hold it open
  }
  EXPECT_EQ(count_calls(sim_log(), "SteamAPI_Shutdown"), 1u);
}

}  // namespace
}  // namespace quennet
