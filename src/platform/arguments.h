// Command-line arguments as the OS hands them over.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quennet::platform {

// One UTF-16 argument as UTF-8, or nothing when it is not valid Unicode text (an unpaired
// surrogate). Windows only: POSIX arguments arrive as bytes already.
std::optional<std::string> utf8_from_utf16(std::wstring_view text);

}  // namespace quennet::platform
