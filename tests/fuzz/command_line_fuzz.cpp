// parse_command_line on any argument list: it never crashes, what it accepts is a well-formed
// command that reads back the same when written out again, and every rejection is one Error record
// that names what was rejected and serialises to one valid line. The input is the arguments
// separated by NUL bytes.
#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "support/arguments.h"
#include "main/command_line.h"
#include "protocol/json.h"
#include "protocol/utf8.h"

namespace {

using quennet::Command;
using quennet::CommandWord;
using quennet::Error;
using quennet::ErrorCode;

const char* word_text(CommandWord word) {
  switch (word) {
    case CommandWord::Status: return "status";
    case CommandWord::Download: return "download";
    case CommandWord::Unsubscribe: return "unsubscribe";
    case CommandWord::Whoami: return "whoami";
  }
  return "";
}

// An accepted command: the word given, ids only where they belong, none of them 0 and no two
// adjacent ones equal, every id written among the arguments, a timeout only for download. Written
// out in its plainest form, it parses back to itself.
void check_accepted(const std::vector<std::string>& args, const Command& command) {
  FUZZ_CHECK(args[0] == word_text(command.word));
  FUZZ_CHECK(command.ids.empty() == (command.word == CommandWord::Whoami));
  FUZZ_CHECK(command.timeout_secs >= 1);
  if (command.word != CommandWord::Download) {
    FUZZ_CHECK(command.timeout_secs == quennet::DEFAULT_DOWNLOAD_TIMEOUT_SECS);
  }
  for (std::size_t i = 0; i < command.ids.size(); ++i) {
    FUZZ_CHECK(command.ids[i] != 0);
    if (i > 0) FUZZ_CHECK(command.ids[i] != command.ids[i - 1]);
    const std::string digits = quennet::decimal(command.ids[i]);
    FUZZ_CHECK(std::any_of(args.begin() + 1, args.end(), [&](const std::string& arg) {
      const std::size_t start = arg.find_first_not_of('0');
      return start != std::string::npos && arg.compare(start, std::string::npos, digits) == 0;
    }));
  }

  std::vector<std::string> plain{word_text(command.word)};
  for (const quennet::WorkshopId id : command.ids) plain.push_back(quennet::decimal(id));
  if (command.word == CommandWord::Download) {
    plain.push_back("--timeout-secs=" + quennet::decimal(command.timeout_secs));
  }
  const auto again = quennet::parse_command_line(quennet::test::argv_of(plain));
  FUZZ_CHECK(again.ok());
  FUZZ_CHECK(again.value().word == command.word);
  FUZZ_CHECK(again.value().ids == command.ids);
  FUZZ_CHECK(again.value().timeout_secs == command.timeout_secs);
}

// A rejection is either an invalid id, naming the argument unchanged, or a usage error.
void check_rejected(const std::vector<std::string>& args, const Error& error) {
  if (error.code == ErrorCode::ItemInvalid) {
    FUZZ_CHECK(error.workshopId.has_value());
    FUZZ_CHECK(std::find(args.begin() + 1, args.end(), *error.workshopId) != args.end());
    FUZZ_CHECK(error.message == "invalid workshop id " + *error.workshopId + ": expected a positive integer");
    return;
  }
  FUZZ_CHECK(error.code == ErrorCode::Unknown);
  FUZZ_CHECK(!error.workshopId.has_value());
  const std::string tail = std::string("; ") + quennet::USAGE;
  FUZZ_CHECK(error.message.size() > tail.size());
  FUZZ_CHECK(error.message.compare(error.message.size() - tail.size(), tail.size(), tail) == 0);
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

  const auto parsed = quennet::parse_command_line(quennet::test::argv_of(args));
  if (parsed.ok()) {
    check_accepted(args, parsed.value());
    return 0;
  }
  const Error& error = parsed.error();
  check_rejected(args, error);

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
