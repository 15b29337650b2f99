#include "simulated_steam.h"

#include <cstdio>
#include <cstdlib>

#include "main/run.h"
#include "platform/environment.h"
#include "protocol/json.h"
#include "sim/control.h"
#include "support/arguments.h"
#include "steam/download_failures.h"
#include "workshop/download.h"
#include "workshop/status.h"
#include "workshop/unsubscribe.h"

namespace quennet {

void PrintTo(const Event& event, std::ostream* out) {
  std::string line;
  if (!serialise_event(event, line)) line = "(a record that does not serialise)";
  *out << line;
}

}  // namespace quennet

namespace quennet::test {

std::vector<std::string>& loading_calls() {
  static std::vector<std::string> calls;
  return calls;
}

SteamLoading simulated_loading() {
  loading_calls().clear();
  return SteamLoading{
      [](const char* name, const char* value) {
        loading_calls().push_back(std::string(name) + "=" + value);
        platform::set_environment_variable(name, value);
      },
      []() -> Result<SteamApi, std::string> {
        loading_calls().push_back("load");
        return simulated_api();
      },
  };
}

void load_scenario(std::string_view json) {
  const std::string error = steam_sim::load_scenario(json);
  ASSERT_EQ(error, "") << json;
}

SteamClient open_session() {
  auto opened = SteamClient::init(simulated_loading());
  if (!opened) {
    // Nothing of the test can go on without a session; stop here with the reason.
    std::fprintf(stderr, "session did not open: %s\n", opened.error().describe().c_str());
    std::abort();
  }
  return std::move(opened.value());
}

RecordSink Recorder::sink() {
  return [this](Event event) {
    std::string line;
    EXPECT_TRUE(serialise_event(event, line));
    events.push_back(std::move(event));
    log_positions.push_back(sim_log_size());
    times.push_back(clock ? clock->now : platform::Nanoseconds{0});
  };
}

Session::Session(std::string_view scenario) {
  load_scenario(scenario);
  recorder.clock = &clock;
}

void Session::status(std::vector<WorkshopId> ids) {
  SteamClient client = open_session();
  run_status(client, ids, recorder.sink());
}

bool Session::download(std::vector<WorkshopId> ids, std::uint64_t timeout_secs) {
  SteamClient client = open_session();
  DownloadWatch watch = watch_download_results(client);
  return run_download(client, *watch.failures, ids, timeout_secs, clock.clock(), recorder.sink());
}

bool Session::unsubscribe(std::vector<WorkshopId> ids) {
  SteamClient client = open_session();
  return run_unsubscribe(client, ids, clock.clock(), recorder.sink());
}

int Session::run(std::vector<std::string> args) {
  return quennet::run(argv_of(args), RunContext{simulated_loading(), clock.clock(), recorder.sink()});
}

std::size_t Session::passes() const { return count_calls(sim_log(), "SteamAPI_ManualDispatch_RunFrame"); }

}  // namespace quennet::test
