// The class of a failure, as carried by an Error record.
#pragma once

#include <string_view>

namespace quennet {

enum class ErrorCode { SteamNotRunning, Timeout, ItemInvalid, Unknown };

// "steam_not_running", "timeout", "item_invalid" or "unknown".
std::string_view error_code_text(ErrorCode code);

}  // namespace quennet
