#include "platform/wide_text.h"

#include <windows.h>

namespace quennet::platform {

namespace {

// The two calls of a conversion, the first measuring and the second writing; nothing when Windows
// refuses the text under `flags`.
std::optional<std::string> to_utf8(std::wstring_view text, DWORD flags) {
  if (text.empty()) return std::string();
  const int wide_length = static_cast<int>(text.size());
  const int length = WideCharToMultiByte(CP_UTF8, flags, text.data(), wide_length, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::nullopt;
  std::string utf8(static_cast<std::size_t>(length), '\0');
  if (WideCharToMultiByte(CP_UTF8, flags, text.data(), wide_length, utf8.data(), length, nullptr, nullptr) !=
      length) {
    return std::nullopt;
  }
  return utf8;
}

}  // namespace

std::optional<std::string> utf8_from_utf16(std::wstring_view text) {
  // WC_ERR_INVALID_CHARS makes an unpaired surrogate an error instead of a silent U+FFFD.
  return to_utf8(text, WC_ERR_INVALID_CHARS);
}

std::string utf8_from_utf16_lossy(std::wstring_view text) { return to_utf8(text, 0).value_or(std::string()); }

std::wstring utf16_from_utf8(std::string_view text) {
  if (text.empty()) return std::wstring();
  const int byte_length = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), byte_length, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), byte_length, wide.data(), length);
  return wide;
}

}  // namespace quennet::platform
