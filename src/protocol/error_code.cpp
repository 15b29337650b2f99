#include "protocol/error_code.h"

namespace quennet {

std::string_view error_code_text(ErrorCode code) {
  switch (code) {
    case ErrorCode::SteamNotRunning: return "steam_not_running";
    case ErrorCode::Timeout: return "timeout";
    case ErrorCode::ItemInvalid: return "item_invalid";
    case ErrorCode::Unknown: return "unknown";
  }
  return "unknown";
}

}  // namespace quennet
