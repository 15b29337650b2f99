// Steam result codes: their fixed messages and how the protocol classifies them.
#pragma once

#include <cstdint>
#include <string>

#include "protocol/error_code.h"

namespace quennet {

inline constexpr std::int32_t STEAM_RESULT_OK = 1;
inline constexpr std::int32_t STEAM_RESULT_IO_FAILURE = 37;

// A failed Steam result code. The 128 codes of Steam's table carry their own message; a code that
// Steam's table lacks (0, 4, 127, negative, above 131) is kept too, so that whatever the library
// hands us still becomes a failure with a readable message instead of a crash.
class SteamError {
 public:
  // Any code but 1: success is tested by the caller before conversion, and converting it is an
  // internal error.
  static SteamError from_eresult(std::int32_t code);

  std::string message() const;
  ErrorCode error_code() const;

 private:
  explicit SteamError(std::int32_t code) : code_(code) {}
  std::int32_t code_;
};

// A Steam failure as the protocol reports it.
struct SteamFailure {
  ErrorCode code;
  std::string message;  // "Steam returned: " and the error's message
};

SteamFailure steam_failure(const SteamError& error);

}  // namespace quennet
