#include "steam/pump.h"

#include <gtest/gtest.h>

#include "simulated_steam.h"
#include "steam/download_failures.h"
#include "steam/interfaces.h"

namespace quennet {
namespace {

using test::count_calls;
using test::sim_log;

// The simulator's calls from the first pass on, without those of opening the session.
std::vector<std::string> calls_after(std::size_t skip) {
  auto log = sim_log();
  return std::vector<std::string>(log.begin() + static_cast<std::ptrdiff_t>(skip), log.end());
}

TEST(Pump, AnEmptyPassMakesExactlyThreeCalls) {
  test::load_scenario("{}");
  SteamClient client = test::open_session();
  const std::size_t before = sim_log().size();
  client.run_callbacks();
  EXPECT_EQ(calls_after(before), (std::vector<std::string>{
                                     "SteamAPI_GetHSteamPipe -> 1",
                                     "SteamAPI_ManualDispatch_RunFrame 1",
                                     "SteamAPI_ManualDispatch_GetNextCallback 1 -> none",
                                 }));
}

TEST(Pump, EveryMessageIsFreedOnceAndCallCompletionsAlwaysFetchTheirResult) {
  test::load_scenario(R"({"callbacks":[
      {"pass":1,"id":4242,"bytes":"01020304"},
      {"pass":1,"id":703,"handle":"99","resultId":1313,"resultSize":16},
      {"pass":1,"id":3406,"appId":221100,"item":"5","result":1}]})");
  SteamClient client = test::open_session();
  DownloadWatch watch = watch_download_results(client);
  int handled_4242 = 0;
  int handled_703 = 0;
  CallbackHandle h4242 = client.register_callback(4242, [&](const void* data, std::size_t size) {
    ++handled_4242;
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(static_cast<const unsigned char*>(data)[3], 4);
  });
  CallbackHandle h703 = client.register_callback(703, [&](const void*, std::size_t) { ++handled_703; });

  const std::size_t before = sim_log().size();
  client.run_callbacks();
  EXPECT_EQ(calls_after(before), (std::vector<std::string>{
                                     "SteamAPI_GetHSteamPipe -> 1",
                                     "SteamAPI_ManualDispatch_RunFrame 1",
                                     "SteamAPI_ManualDispatch_GetNextCallback 1 -> 4242",
                                     "SteamAPI_ManualDispatch_FreeLastCallback 1",
                                     "SteamAPI_ManualDispatch_GetNextCallback 1 -> 703",
                                     "SteamAPI_ManualDispatch_GetAPICallResult 1 99 16 1313 -> false",
                                     "SteamAPI_ManualDispatch_FreeLastCallback 1",
                                     "SteamAPI_ManualDispatch_GetNextCallback 1 -> 3406",
                                     "SteamAPI_ManualDispatch_FreeLastCallback 1",
                                     "SteamAPI_ManualDispatch_GetNextCallback 1 -> none",
                                 }));
  EXPECT_EQ(handled_4242, 1);
  EXPECT_EQ(handled_703, 0);  // call-completed notices always take the call-result path
  EXPECT_TRUE(watch.failures->take_all().empty());
}

TEST(Pump, OutcomesOfSubscribeCalls) {
  test::load_scenario(R"({"items":[
      {"id":"1","subscribe":{"result":1}},
      {"id":"2","subscribe":{"result":9}},
      {"id":"3","subscribe":{"result":1,"ioFailure":true}},
      {"id":"4","subscribe":{"result":1,"resultSize":2}},
      {"id":"5","subscribe":{"result":1,"fetchFails":true,"handle":"5005"}},
      {"id":"6","subscribe":{"result":1,"resultSize":70000,"handle":"6006"}},
      {"id":"7","subscribe":{"never":true}},
      {"id":"8","subscribe":{"result":-1}}]})");
  SteamClient client = test::open_session();
  std::vector<CallOutcomeReceiver> receivers;
  for (WorkshopId id = 1; id <= 8; ++id) receivers.push_back(client.ugc().subscribe_item(id));
  for (auto& receiver : receivers) EXPECT_TRUE(std::holds_alternative<Pending>(receiver.try_take()));

  for (int pass = 0; pass < 3; ++pass) client.run_callbacks();

  auto failure_of = [](const CallOutcome& outcome) -> SteamFailure {
    const auto* failed = std::get_if<Failed>(&outcome);
    return failed ? failed->failure : SteamFailure{ErrorCode::Unknown, "no failure"};
  };
  EXPECT_TRUE(std::holds_alternative<Succeeded>(receivers[0].try_take()));
  EXPECT_TRUE(std::holds_alternative<Dropped>(receivers[0].try_take()));  // single use

  const SteamFailure not_found = failure_of(receivers[1].try_take());
  EXPECT_EQ(not_found.code, ErrorCode::ItemInvalid);
  EXPECT_EQ(not_found.message, "Steam returned: a file was not found");
  const SteamFailure io = failure_of(receivers[2].try_take());
  EXPECT_EQ(io.code, ErrorCode::Unknown);
  EXPECT_EQ(io.message, "Steam returned: IO failure");
  // A record too short to hold a result code reads as code 0, which has no entry.
  EXPECT_EQ(failure_of(receivers[3].try_take()).message, "Steam returned: unknown result code 0");
  EXPECT_TRUE(std::holds_alternative<Pending>(receivers[4].try_take()));  // stays registered
  EXPECT_TRUE(std::holds_alternative<Pending>(receivers[5].try_take()));  // not believed
  EXPECT_TRUE(std::holds_alternative<Pending>(receivers[6].try_take()));
  EXPECT_EQ(failure_of(receivers[7].try_take()).message, "Steam returned: unknown result code -1");

  const auto log = sim_log();
  EXPECT_GE(count_calls(log, "SteamAPI_ManualDispatch_GetAPICallResult 1 5005 "), 1u);  // fetch fails
  // A notice announcing 70000 bytes is not fetched at all.
  EXPECT_EQ(count_calls(log, "SteamAPI_ManualDispatch_GetAPICallResult 1 6006 "), 0u);

  // Shutdown releases the pending handlers uncalled: their queues disconnect.
  std::optional<SteamClient> last(std::move(client));
  last.reset();
  EXPECT_TRUE(std::holds_alternative<Dropped>(receivers[4].try_take()));
  EXPECT_TRUE(std::holds_alternative<Dropped>(receivers[6].try_take()));
}

TEST(Pump, ASecondCallOnTheSameHandleDisconnectsTheFirst) {
  test::load_scenario(R"({"items":[
      {"id":"1","subscribe":{"handle":"77"}},
      {"id":"2","subscribe":{"handle":"77","result":1}}]})");
  SteamClient client = test::open_session();
  CallOutcomeReceiver first = client.ugc().subscribe_item(1);
  CallOutcomeReceiver second = client.ugc().subscribe_item(2);
  EXPECT_TRUE(std::holds_alternative<Dropped>(first.try_take()));
  client.run_callbacks();
  client.run_callbacks();
  EXPECT_TRUE(std::holds_alternative<Succeeded>(second.try_take()));
}

TEST(DownloadResults, OnlyFailedDayzDownloadsAreListedInArrivalOrder) {
  test::load_scenario(R"({"callbacks":[
      {"pass":1,"id":3406,"appId":221100,"item":"5","result":16},
      {"pass":1,"id":3406,"appId":221100,"item":"6","result":1},
      {"pass":1,"id":3406,"appId":4000,"item":"7","result":16},
      {"pass":1,"id":3406,"appId":221100,"item":"18446744073709551615","result":9},
      {"pass":1,"id":3406,"appId":221100,"item":"8","result":16,"null":true},
      {"pass":1,"id":3406,"appId":221100,"item":"9","result":16,"size":8},
      {"pass":2,"id":3406,"appId":221100,"item":"10","result":500}]})");
  SteamClient client = test::open_session();
  DownloadWatch watch = watch_download_results(client);
  EXPECT_TRUE(watch.failures->take_all().empty());

  client.run_callbacks();
  const auto first = watch.failures->take_all();
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[0].id, 5u);
  EXPECT_EQ(first[0].failure.code, ErrorCode::Timeout);
  EXPECT_EQ(first[0].failure.message, "Steam returned: operation timed out");
  EXPECT_EQ(first[1].id, 18446744073709551615u);
  EXPECT_EQ(first[1].failure.code, ErrorCode::ItemInvalid);
  EXPECT_TRUE(watch.failures->take_all().empty());

  client.run_callbacks();
  const auto second = watch.failures->take_all();
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(second[0].failure.message, "Steam returned: unknown result code 500");
}

TEST(CallbackHandle, ReleasedWhileOpenItRemovesItsHandlerAndAfterShutdownItDoesNothing) {
  test::load_scenario(R"({"callbacks":[{"pass":1,"id":4242,"bytes":"00"}]})");
  std::optional<SteamClient> client(test::open_session());
  int handled = 0;
  CallbackHandle handle = client->register_callback(4242, [&](const void*, std::size_t) { ++handled; });
  handle.release();
  client->run_callbacks();
  EXPECT_EQ(handled, 0);

  DownloadWatch watch = watch_download_results(*client);
  EXPECT_EQ(watch.failures.use_count(), 2);  // the handler holds a share
  client.reset();
  EXPECT_EQ(watch.failures.use_count(), 1);  // gone with the handler table
  const std::size_t calls = sim_log().size();
  watch.handle.release();
  EXPECT_EQ(sim_log().size(), calls);
}

}  // namespace
}  // namespace quennet
