// The records that the program writes to standard output, one per line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "protocol/error_code.h"

namespace quennet {

// A Steam Workshop item id; never 0 once accepted from the command line.
using WorkshopId = std::uint64_t;

// Record fields are named by their keys. Ids and the Steam ID are written as strings of digits.
struct Ready {
  std::uint64_t steamId;
  std::string persona;
};

struct State {
  WorkshopId workshopId;
  bool subscribed;
  bool installed;
  bool needsUpdate;
  bool downloading;
  std::optional<std::string> folder;  // null when Steam has no install information
  std::uint64_t sizeOnDisk;
  std::uint64_t timestamp;
};

struct Progress {
  WorkshopId workshopId;
  std::uint64_t bytesDone;
  std::uint64_t bytesTotal;
};

struct Installed {
  WorkshopId workshopId;
  std::string folder;
};

struct Done {};

struct Error {
  ErrorCode code;
  std::string message;
  // The item concerned in decimal, a rejected command-line argument unchanged, or null.
  std::optional<std::string> workshopId;
};

using Event = std::variant<Ready, State, Progress, Installed, Done, Error>;

// `value` in decimal digits: no sign, no leading zeros.
std::string decimal(std::uint64_t value);

// An Error record about one item.
Error item_error(ErrorCode code, std::string message, WorkshopId id);

}  // namespace quennet
