// Whole runs against a simulated Steam that the input scripts: arbitrary callback messages (any id,
// any bytes, any size field, null data), call-completed notices for any handle and result size,
// result records of any size and code, shared call handles, fetches that fail, download-result
// notices for any application and item, odd item states, install folders and persona names. Each
// run must use the library correctly (the simulator reports misuse), shut it down once after the
// last record, write only valid records, and give every item exactly the records it is owed.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "main/run.h"
#include "platform/environment.h"
#include "protocol/json.h"
#include "sim/control.h"
#include "support/arguments.h"
#include "support/simulated_api.h"
#include "support/virtual_clock.h"

namespace {

using nlohmann::json;

std::string hex(const std::string& bytes) {
  static constexpr char DIGITS[] = "0123456789abcdef";
  std::string text;
  for (const char c : bytes) {
    text += DIGITS[static_cast<unsigned char>(c) >> 4];
    text += DIGITS[static_cast<unsigned char>(c) & 0xF];
  }
  return text;
}

constexpr std::array<std::uint64_t, 3> ITEMS = {11, 12, 13};

class ScenarioBuilder {
 public:
  explicit ScenarioBuilder(FuzzedDataProvider& input) : in_(input) {}

  json build() {
    json scenario = json::object();
    if (in_.ConsumeBool()) {
      json account = {{"steamId", std::to_string(in_.ConsumeIntegral<std::uint64_t>())}};
      if (in_.ConsumeBool()) {
        account["persona"] = nullptr;
      } else {
        account["personaBytes"] = hex(in_.ConsumeRandomLengthString(300));
      }
      scenario["account"] = account;
    }
    scenario["items"] = json::array();
    for (const std::uint64_t id : ITEMS) scenario["items"].push_back(item(id));
    scenario["callbacks"] = json::array();
    const int messages = in_.ConsumeIntegralInRange(0, 12);
    for (int i = 0; i < messages; ++i) scenario["callbacks"].push_back(message());
    return scenario;
  }

 private:
  std::int32_t result_code() {
    return in_.ConsumeBool() ? in_.PickValueInArray({1, 1, 2, 9, 16, 37, 0, 4, 127, -1, 500})
                             : in_.ConsumeIntegral<std::int32_t>();
  }

  std::uint32_t result_size() {
    return in_.ConsumeBool()
               ? in_.PickValueInArray<std::uint32_t>({0, 1, 3, 4, 12, 16, 24, 65536, 65537, 70000})
               : in_.ConsumeIntegral<std::uint32_t>();
  }

  std::string handle() {
    return std::to_string(in_.ConsumeBool()
                              ? in_.PickValueInArray<std::uint64_t>({0, 500, 501, 1000, 1001, 1002, 1003})
                              : in_.ConsumeIntegral<std::uint64_t>());
  }

  json outcome() {
    json call = {{"result", result_code()},
                 {"afterPasses", in_.ConsumeIntegralInRange(1, 6)},
                 {"ioFailure", in_.ConsumeBool()},
                 {"never", in_.ConsumeBool() && in_.ConsumeBool()},
                 {"fetchFails", in_.ConsumeBool() && in_.ConsumeBool()}};
    if (in_.ConsumeBool()) call["handle"] = handle();
    if (in_.ConsumeBool()) call["resultSize"] = result_size();
    return call;
  }

  json install() {
    json info = {{"size", in_.ConsumeIntegral<std::uint64_t>()},
                 {"timestamp", in_.ConsumeIntegral<std::uint32_t>()}};
    if (in_.ConsumeBool()) {
      info["folderFill"] = std::string(1, in_.PickValueInArray({'a', '/', '\\', '"'}));
    } else {
      info["folderBytes"] = hex(in_.ConsumeRandomLengthString(200));
    }
    return info;
  }

  json item(std::uint64_t id) {
    json entry = {{"id", std::to_string(id)},
                  {"state", in_.ConsumeBool() ? in_.PickValueInArray<std::uint32_t>({0, 1, 5, 13, 17, 33, 4})
                                              : in_.ConsumeIntegral<std::uint32_t>()},
                  {"acceptDownload", !(in_.ConsumeBool() && in_.ConsumeBool())},
                  {"subscribe", outcome()},
                  {"unsubscribe", outcome()}};
    if (in_.ConsumeBool()) entry["install"] = install();
    if (in_.ConsumeBool()) {
      entry["downloadInfo"] = {{"done", in_.ConsumeIntegral<std::uint64_t>()},
                               {"total", in_.ConsumeIntegral<std::uint64_t>()}};
    }
    if (in_.ConsumeBool()) {
      const auto size = in_.ConsumeIntegralInRange<std::uint64_t>(0, 10'000'000);
      entry["download"] = {{"size", size},
                           {"step", in_.ConsumeIntegralInRange<std::uint64_t>(0, size)},
                           {"everyPasses", in_.ConsumeIntegralInRange(1, 4)},
                           {"failAtPass", in_.ConsumeIntegralInRange(0, 12)},
                           {"failResult", result_code()},
                           {"failAppId", in_.ConsumeBool() ? 221100u : in_.ConsumeIntegral<std::uint32_t>()},
                           {"folderBytes", hex(in_.ConsumeRandomLengthString(100))}};
    }
    return entry;
  }

  json message() {
    json m = {{"pass", in_.ConsumeIntegralInRange(1, 12)}};
    switch (in_.ConsumeIntegralInRange(0, 2)) {
      case 0:
        m["id"] = 703;
        m["handle"] = handle();
        m["resultId"] =
            in_.ConsumeBool() ? in_.PickValueInArray({1313, 1315}) : in_.ConsumeIntegral<std::int32_t>();
        m["resultSize"] = result_size();
        break;
      case 1:
        m["id"] = 3406;
        m["appId"] = in_.ConsumeBool() ? 221100u : in_.ConsumeIntegral<std::uint32_t>();
        m["item"] = std::to_string(in_.ConsumeBool() ? in_.PickValueInArray(ITEMS)
                                                     : in_.ConsumeIntegral<std::uint64_t>());
        m["result"] = result_code();
        break;
      default:
        m["id"] = in_.ConsumeBool() ? in_.PickValueInArray({703, 3406, 1313, 1315, 0, -1})
                                    : in_.ConsumeIntegral<std::int32_t>();
        m["bytes"] = hex(in_.ConsumeRandomLengthString(64));
    }
    if (in_.ConsumeBool()) m["size"] = in_.ConsumeIntegralInRange<std::int32_t>(INT32_MIN, 70'000);
    if (in_.ConsumeBool() && in_.ConsumeBool()) m["null"] = true;
    return m;
  }

  FuzzedDataProvider& in_;
};

using Record = nlohmann::ordered_json;

// What the records of one run must hold beyond their own validity.
void check_records(const std::vector<std::string>& args, const std::vector<Record>& records, int status) {
  FUZZ_CHECK(!records.empty() && records.front()["type"] == "ready");
  const bool done = records.back()["type"] == "done";
  FUZZ_CHECK(done == (status == 0));
  for (std::size_t i = 1; i + 1 < records.size(); ++i)
    FUZZ_CHECK(records[i]["type"] != "done" && records[i]["type"] != "ready");

  std::map<std::string, int> tasks;  // the tasks of each id that still owe their last record
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i].rfind("--", 0) == 0) break;
    ++tasks[args[i]];
  }
  const std::string& command = args[0];
  std::vector<std::string> states;
  for (std::size_t i = 1; i < records.size() - (done ? 1 : 0); ++i) {
    const Record& r = records[i];
    const std::string type = r["type"];
    FUZZ_CHECK(command != "whoami");
    const std::string id = r["workshopId"];
    FUZZ_CHECK(tasks.count(id) == 1);
    if (command == "status") {
      FUZZ_CHECK(type == "state");
      states.push_back(id);
    } else if (command == "unsubscribe") {
      FUZZ_CHECK(type == "error");
      FUZZ_CHECK(--tasks[id] >= 0);
    } else {
      FUZZ_CHECK(type == "progress" || type == "installed" || type == "error");
      FUZZ_CHECK(tasks[id] > 0);  // nothing after an item's last record
      if (type != "progress") --tasks[id];
      if (type == "installed")
        FUZZ_CHECK(records[i - 1]["type"] == "progress" && records[i - 1]["workshopId"] == id);
    }
  }
  if (command == "status") FUZZ_CHECK(states == std::vector<std::string>(args.begin() + 1, args.end()));
  // Every download task ended, by installation, failure or the time limit.
  if (command == "download")
    for (const auto& [id, owed] : tasks) FUZZ_CHECK(owed == 0);
  // Success exactly when nothing failed.
  const bool any_error =
      std::any_of(records.begin(), records.end(), [](const Record& r) { return r["type"] == "error"; });
  FUZZ_CHECK(any_error == !done);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::vector<std::vector<std::string>> commands = {
      {"download", "11", "12", "13", "--timeout-secs", "2"},
      {"download", "11", "12", "11", "--timeout-secs", "2"},
      {"unsubscribe", "11", "12", "13"},
      {"status", "11", "12", "13"},
      {"whoami"},
  };
  const std::vector<std::string>& args =
      commands[input.ConsumeIntegralInRange<std::size_t>(0, commands.size() - 1)];
  const json scenario = ScenarioBuilder(input).build();
  FUZZ_CHECK(steam_sim::load_scenario(scenario.dump()).empty());

  // Each sleep of an unsubscribe also moves a second on, so that its 30-second limit comes after a
  // few dozen passes.
  quennet::test::VirtualClock clock;
  if (args[0] == "unsubscribe") clock.extra_per_sleep = std::chrono::seconds(1);
  std::vector<std::string> lines;
  std::vector<std::size_t> log_sizes;
  const quennet::RecordSink emit = [&](quennet::Event event) {
    std::string line;
    FUZZ_CHECK(quennet::serialise_event(event, line));
    lines.push_back(std::move(line));
    log_sizes.push_back(quennet::test::sim_log_size());
  };
  const quennet::SteamLoading loading{
      quennet::platform::set_environment_variable,
      []() -> quennet::Result<quennet::SteamApi, std::string> { return quennet::test::simulated_api(); }};
  const int status = quennet::run(quennet::test::argv_of(args), quennet::RunContext{loading, clock.clock(), emit});
  FUZZ_CHECK(status == 0 || status == 1);

  const std::vector<std::string> log = quennet::test::sim_log();
  for (const std::string& line : log) {
    FUZZ_CHECK(line.rfind("sim: misuse", 0) != 0);
    FUZZ_CHECK(line.rfind("sim: internal error", 0) != 0);
  }
  FUZZ_CHECK(std::count_if(log.begin(), log.end(),
                           [](const std::string& l) { return l.rfind("SteamAPI_Shutdown", 0) == 0; }) == 1);
  FUZZ_CHECK(log.back().rfind("SteamAPI_Shutdown", 0) == 0);
  FUZZ_CHECK(!log_sizes.empty() && log_sizes.back() < log.size());  // the last record came before Shutdown

  std::string& context = quennet::fuzz::context();
  context = "command:";
  for (const std::string& arg : args) context += " " + arg;
  context += "\nscenario: " + scenario.dump() + "\nrecords:\n";
  for (const std::string& line : lines) context += line + "\n";

  std::vector<Record> records;
  for (const std::string& line : lines) records.push_back(quennet::fuzz::parse_record(line));
  check_records(args, records, status);
  return 0;
}
