#include "simulated_steam.h"

#include <cstdio>
#include <cstdlib>

#include "platform/environment.h"
#include "protocol/json.h"
#include "sim/control.h"

namespace quennet::test {

std::vector<std::string>& host_calls() {
  static std::vector<std::string> calls;
  return calls;
}

SteamHost simulated_host() {
  host_calls().clear();
  return SteamHost{
      [](const char* name, const char* value) {
        host_calls().push_back(std::string(name) + "=" + value);
        platform::set_environment_variable(name, value);
      },
      []() -> Result<SteamApi, std::string> {
        host_calls().push_back("load");
        return simulated_api();
      },
  };
}

void load_scenario(std::string_view json) {
  const std::string error = steam_sim::load_scenario(json);
  ASSERT_EQ(error, "") << json;
}

std::vector<std::string> sim_log() {
  std::vector<std::string> lines;
  const std::string log = steam_sim::call_log();
  std::size_t start = 0;
  while (start < log.size()) {
    const std::size_t end = log.find('\n', start);
    lines.push_back(log.substr(start, end - start));
    start = end == std::string::npos ? log.size() : end + 1;
  }
  return lines;
}

SteamClient open_session() {
  auto opened = SteamClient::init(simulated_host());
  if (!opened) {
    // Nothing of the test can go on without a session; stop here with the reason.
    std::fprintf(stderr, "session did not open: %s\n", opened.error().describe().c_str());
    std::abort();
  }
  return std::move(opened.value());
}

platform::Clock VirtualClock::clock() {
  return platform::Clock{
      [](void* self) { return static_cast<VirtualClock*>(self)->now; },
      [](void* self, platform::Nanoseconds duration) {
        auto* clock = static_cast<VirtualClock*>(self);
        ++clock->sleeps;
        clock->now += duration + clock->extra_per_sleep;
      },
      this,
  };
}

Emit Recorder::emit() {
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
