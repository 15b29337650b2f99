#include "main/command_line.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace quennet {

namespace {

constexpr std::string_view TIMEOUT_OPTION = "--timeout-secs";
constexpr std::string_view TIMEOUT_PREFIX = "--timeout-secs=";

// One or more ASCII digits, any number of leading zeros, at most 2^64-1. Nothing for anything else.
std::optional<std::uint64_t> parse_digits(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

std::optional<WorkshopId> parse_workshop_id(std::string_view text) {
  const auto value = parse_digits(text);
  if (!value || *value == 0) return std::nullopt;
  return value;
}

// Like an id, but one leading plus sign is allowed: "+30" is 30 seconds.
std::optional<std::uint64_t> parse_timeout(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto value = parse_digits(text);
  if (!value || *value == 0) return std::nullopt;
  return value;
}

Error usage_error(std::string reason) {
  return Error{ErrorCode::Unknown, reason + "; " + USAGE, std::nullopt};
}

Error invalid_id_error(std::string_view arg) {
  return Error{ErrorCode::ItemInvalid,
               "invalid workshop id " + std::string(arg) + ": expected a positive integer", std::string(arg)};
}

std::optional<CommandWord> command_word(std::string_view word) {
  if (word == "status") return CommandWord::Status;
  if (word == "download") return CommandWord::Download;
  if (word == "unsubscribe") return CommandWord::Unsubscribe;
  if (word == "whoami") return CommandWord::Whoami;
  return std::nullopt;
}

struct Arguments {
  std::vector<WorkshopId> ids;
  std::uint64_t timeout_secs = DEFAULT_DOWNLOAD_TIMEOUT_SECS;
};

// The arguments after the command word, in order, into `parsed`: ids, and --timeout-secs where
// `download` allows it. The first argument that is neither gives the error.
std::optional<Error> parse_arguments(std::span<const char* const> args, bool download, Arguments& parsed) {
  parsed.ids.reserve(args.size());  // one growth would hold the list twice over
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (download && (arg == TIMEOUT_OPTION || arg.starts_with(TIMEOUT_PREFIX))) {
      std::optional<std::uint64_t> timeout;
      if (arg == TIMEOUT_OPTION) {
        // The next argument is the value, whatever it looks like; it is not scanned again.
        if (i + 1 < args.size()) timeout = parse_timeout(args[++i]);
      } else {
        timeout = parse_timeout(arg.substr(TIMEOUT_PREFIX.size()));
      }
      if (!timeout) return usage_error("--timeout-secs needs a positive integer");
      parsed.timeout_secs = *timeout;
      continue;
    }
    if (arg.size() >= 2 && arg[0] == '-' && arg[1] == '-') {
      return usage_error("unknown option " + std::string(arg));
    }
    const auto id = parse_workshop_id(arg);
    if (!id) return invalid_id_error(arg);
    parsed.ids.push_back(*id);
  }
  // 5 5 6 becomes 5 6; 5 6 5 stays as it is.
  parsed.ids.erase(std::unique(parsed.ids.begin(), parsed.ids.end()), parsed.ids.end());
  return std::nullopt;
}

}  // namespace

Result<Command, Error> parse_command_line(std::span<const char* const> args) {
  if (args.empty()) return Failure{usage_error("missing command")};
  const std::string_view name = args[0];
  const std::optional<CommandWord> word = command_word(name);

  // The arguments are judged before the word: "frob --x" reports the unknown option.
  Arguments arguments;
  if (auto error = parse_arguments(args.subspan(1), word == CommandWord::Download, arguments)) {
    return Failure{std::move(*error)};
  }

  if (!word) return Failure{usage_error("unknown command " + std::string(name))};
  if (*word == CommandWord::Whoami) {
    if (!arguments.ids.empty()) return Failure{usage_error("whoami takes no arguments")};
  } else if (arguments.ids.empty()) {
    return Failure{usage_error(std::string(name) + " needs at least one workshopId")};
  }
  return Command{*word, std::move(arguments.ids), arguments.timeout_secs};
}

}  // namespace quennet
