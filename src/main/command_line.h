// The command line: the program's only input from the host that starts it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/result.h"
#include "protocol/event.h"

namespace quennet {

inline constexpr std::uint64_t DEFAULT_DOWNLOAD_TIMEOUT_SECS = 1800;

inline constexpr char USAGE[] =
    "usage: quennet status <workshopId>... | download <workshopId>... [--timeout-secs N] | "
    "unsubscribe <workshopId>... | whoami";

enum class CommandWord { Status, Download, Unsubscribe, Whoami };

struct Command {
  CommandWord word;
  // In command-line order, adjacent repeats collapsed; empty only for whoami.
  std::vector<WorkshopId> ids;
  // download only: whole seconds, 1 to 2^64-1. Kept as a count of seconds, never as a clock
  // duration, which would overflow for the largest values.
  std::uint64_t timeout_secs = DEFAULT_DOWNLOAD_TIMEOUT_SECS;
};

// `args` are the arguments after the program path, NUL-terminated. A rejected command line gives
// the one Error record to write.
Result<Command, Error> parse_command_line(std::span<const char* const> args);

}  // namespace quennet
