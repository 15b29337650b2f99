// parse_command_line on any argument list: it never crashes, it accepts exactly the command-line
// grammar (checked against an independent reading of it below), and every rejection is one Error
// record that serialises to one valid line. The input is the arguments separated by NUL bytes.
#include <algorithm>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "main/command_line.h"
#include "protocol/json.h"
#include "protocol/utf8.h"

namespace {

using quennet::Command;
using quennet::CommandWord;
using quennet::Error;
using quennet::ErrorCode;

// A decimal number by comparing text rather than by arithmetic: leading zeros dropped, then at most
// 20 digits, and with 20 not above the largest 64-bit value. Zero and non-digits are nothing.
std::optional<std::uint64_t> number(std::string_view text) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) return {};
  text.remove_prefix(std::min(text.find_first_not_of('0'), text.size()));
  if (text.empty() || text.size() > 20) return {};
  if (text.size() == 20 && text > "18446744073709551615") return {};
  return std::strtoull(std::string(text).c_str(), nullptr, 10);
}

Error usage(const std::string& reason) {
  return Error{ErrorCode::Unknown, reason + "; " + quennet::USAGE, {}};
}

struct Expected {
  bool accepted = false;
  Command command{CommandWord::Whoami, {}, quennet::DEFAULT_DOWNLOAD_TIMEOUT_SECS};
  Error error;
};

Expected expected(const std::vector<std::string>& args) {
  Expected result;
  auto reject = [&](Error error) {
    result.error = std::move(error);
    return result;
  };
  if (args.empty()) return reject(usage("missing command"));
  const std::string& word = args[0];
  std::vector<std::uint64_t> ids;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (word == "download" && arg.rfind("--timeout-secs", 0) == 0 && (arg.size() == 14 || arg[14] == '=')) {
      std::string value;
      if (arg.size() > 14) {
        value = arg.substr(15);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        return reject(usage("--timeout-secs needs a positive integer"));
      }
      if (!value.empty() && value[0] == '+') value.erase(0, 1);
      const auto seconds = number(value);
      if (!seconds) return reject(usage("--timeout-secs needs a positive integer"));
      result.command.timeout_secs = *seconds;
    } else if (arg.rfind("--", 0) == 0) {
      return reject(usage("unknown option " + arg));
    } else if (const auto id = number(arg)) {
      if (ids.empty() || ids.back() != *id) ids.push_back(*id);
    } else {
      return reject(
          Error{ErrorCode::ItemInvalid, "invalid workshop id " + arg + ": expected a positive integer", arg});
    }
  }
  if (word == "whoami") {
    if (!ids.empty()) return reject(usage("whoami takes no arguments"));
  } else if (word == "status" || word == "download" || word == "unsubscribe") {
    if (ids.empty()) return reject(usage(word + " needs at least one workshopId"));
    result.command.word = word == "status"     ? CommandWord::Status
                          : word == "download" ? CommandWord::Download
                                               : CommandWord::Unsubscribe;
  } else {
    return reject(usage("unknown command " + word));
  }
  if (result.command.word != CommandWord::Download)
    result.command.timeout_secs = quennet::DEFAULT_DOWNLOAD_TIMEOUT_SECS;
  result.command.ids = std::move(ids);
  result.accepted = true;
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (!input.empty()) {
    for (std::size_t start = 0;;) {
      const std::size_t end = input.find('\0', start);
      args.emplace_back(input.substr(start, end - start));
      if (end == std::string_view::npos) break;
      start = end + 1;
    }
  }

  const auto parsed = quennet::parse_command_line(args);
  const Expected want = expected(args);
  FUZZ_CHECK(parsed.ok() == want.accepted);
  if (parsed.ok()) {
    const Command& got = parsed.value();
    FUZZ_CHECK(got.word == want.command.word);
    FUZZ_CHECK(got.ids == want.command.ids);
    FUZZ_CHECK(got.timeout_secs == want.command.timeout_secs);
    return 0;
  }

  const Error& error = parsed.error();
  FUZZ_CHECK(error.code == want.error.code);
  FUZZ_CHECK(error.message == want.error.message);
  FUZZ_CHECK(error.workshopId == want.error.workshopId);

  // The program refuses arguments that are not UTF-8 before parsing; every other rejection is one
  // record on one line that reads back as what was rejected.
  if (!std::all_of(args.begin(), args.end(),
                   [](const std::string& a) { return quennet::is_valid_utf8(a); })) {
    return 0;
  }
  std::string line;
  FUZZ_CHECK(quennet::serialise_event(error, line));
  const nlohmann::ordered_json record = quennet::fuzz::parse_record(line);
  FUZZ_CHECK(record["type"] == "error");
  FUZZ_CHECK(record["message"] == error.message);
  FUZZ_CHECK(error.workshopId ? record["workshopId"] == *error.workshopId : record["workshopId"].is_null());
  return 0;
}
