// The records that the program writes to standard output, one per line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "common/workshop_id.h"
#include "protocol/error_code.h"

namespace quennet {

// Record fields are named by their keys. Ids and the Steam ID are written as strings of digits.
// Records compare equal field by field, so that tests can compare them as values.
struct Ready {
  std::uint64_t steamId;
  std::string persona;
  bool operator==(const Ready&) const = default;
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
  bool operator==(const State&) const = default;
};

struct Progress {
  WorkshopId workshopId;
  std::uint64_t bytesDone;
  std::uint64_t bytesTotal;
  bool operator==(const Progress&) const = default;
};

struct Installed {
  WorkshopId workshopId;
  std::string folder;
  bool operator==(const Installed&) const = default;
};

struct Done {
  bool operator==(const Done&) const = default;
};

struct Error {
  ErrorCode code;
  std::string message;
  // The item concerned in decimal, a rejected command-line argument unchanged, or null.
  std::optional<std::string> workshopId;
  bool operator==(const Error&) const = default;
};

using Event = std::variant<Ready, State, Progress, Installed, Done, Error>;

// `value` in decimal digits: no sign, no leading zeros.
std::string decimal(std::uint64_t value);

// An Error record about one item.
Error item_error(ErrorCode code, std::string message, WorkshopId id);

}  // namespace quennet
