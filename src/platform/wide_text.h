// Windows only: converting between UTF-8, the program's text, and UTF-16, the text of the Windows
// API. Every conversion of the program goes through these. POSIX hands over bytes already.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quennet::platform {

// `text` as UTF-8, or nothing when it is not valid Unicode text (an unpaired surrogate): for
// command-line arguments, which must arrive unchanged or not at all.
std::optional<std::string> utf8_from_utf16(std::wstring_view text);

// `text` as UTF-8, an unpaired surrogate becoming U+FFFD: for text we only show.
std::string utf8_from_utf16_lossy(std::wstring_view text);

// `text` as UTF-16, an invalid UTF-8 sequence becoming U+FFFD.
std::wstring utf16_from_utf8(std::string_view text);

}  // namespace quennet::platform
