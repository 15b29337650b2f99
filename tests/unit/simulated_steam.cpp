#include "simulated_steam.h"

#include <cstdio>
#include <cstdlib>

#include "platform/environment.h"
#include "protocol/json.h"
#include "sim/control.h"

namespace quennet::test {

std::vector<std::string>& platform_calls() {
  static std::vector<std::string> calls;
  return calls;
}

SteamPlatform simulated_platform() {
  platform_calls().clear();
  return SteamPlatform{
      [](const char* name, const char* value) {
        platform_calls().push_back(std::string(name) + "=" + value);
        platform::set_environment_variable(name, value);
      },
      []() -> Result<SteamApi, std::string> {
        platform_calls().push_back("load");
        return simulated_api();
      },
  };
}

void load_scenario(std::string_view json) {
  const std::string error = steam_sim::load_scenario(json);
  ASSERT_EQ(error, "") << json;
}

SteamClient open_session() {
  auto opened = SteamClient::init(simulated_platform());
  if (!opened) {
    // Nothing of the test can go on without a session; stop here with the reason.
    std::fprintf(stderr, "session did not open: %s\n", opened.error().describe().c_str());
    std::abort();
  }
  return std::move(opened.value());
}

RecordSink Recorder::emit() {
  return [this](Event event) {
    std::string line;
    EXPECT_TRUE(serialise_event(event, line));
    lines.push_back(line);
    log_positions.push_back(sim_log().size());
    times.push_back(clock ? clock->now : platform::Nanoseconds{0});
  };
}

std::size_t count_calls(const std::vector<std::string>& log, std::string_view prefix) {
  std::size_t count = 0;
  for (const std::string& line : log) count += line.rfind(prefix, 0) == 0 ? 1 : 0;
  return count;
}

}  // namespace quennet::test
