#include "platform/system_error.h"

#include <windows.h>

#include "platform/wide_text.h"

namespace quennet::platform {

std::string last_system_error() {
  const DWORD code = GetLastError();
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string utf8;
  if (length > 0 && text != nullptr) utf8 = utf8_from_utf16_lossy(std::wstring_view(text, length));
  if (text != nullptr) LocalFree(text);
  while (!utf8.empty() && (utf8.back() == '\n' || utf8.back() == '\r' || utf8.back() == ' ')) {
    utf8.pop_back();
  }
  if (utf8.empty()) utf8 = "system error " + std::to_string(code);
  return utf8;
}

}  // namespace quennet::platform
