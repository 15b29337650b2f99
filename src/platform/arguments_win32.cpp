#include "platform/arguments.h"

#include <windows.h>

namespace quennet::platform {

std::optional<std::string> utf8_from_utf16(std::wstring_view text) {
  if (text.empty()) return std::string();
  const int wide_length = static_cast<int>(text.size());
  // WC_ERR_INVALID_CHARS makes an unpaired surrogate an error instead of a silent U+FFFD.
  const int length = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), wide_length,
                                         nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::nullopt;
  std::string utf8(static_cast<std::size_t>(length), '\0');
  if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), wide_length, utf8.data(),
                          length, nullptr, nullptr) != length) {
    return std::nullopt;
  }
  return utf8;
}

}  // namespace quennet::platform
