#include "platform/output.h"

#include <windows.h>

#include <string>

#include "platform/wide_text.h"

namespace quennet::platform {

namespace {

// A console shows UTF-16; bytes written to it would be read in the console's code page.
bool write_console(HANDLE console, std::string_view bytes) {
  const std::wstring wide = utf16_from_utf8(bytes);
  if (wide.empty()) return false;
  const wchar_t* next = wide.data();
  DWORD left = static_cast<DWORD>(wide.size());
  while (left > 0) {
    DWORD written = 0;
    if (!WriteConsoleW(console, next, left, &written, nullptr) || written == 0) return false;
    next += written;
    left -= written;
  }
  return true;
}

// The records' handle once kept; until then standard output's own, looked up at each write.
bool kept = false;
HANDLE records = nullptr;

}  // namespace

void keep_stdout_for_records() {
  records = GetStdHandle(STD_OUTPUT_HANDLE);
  kept = true;
  SetStdHandle(STD_OUTPUT_HANDLE, GetStdHandle(STD_ERROR_HANDLE));
}

bool write_stdout(std::string_view bytes) {
  if (bytes.empty()) return true;
  HANDLE out = kept ? records : GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return false;

  DWORD mode = 0;
  if (GetConsoleMode(out, &mode)) return write_console(out, bytes);

  // A file or a pipe takes the bytes as they are: WriteFile never turns LF into CR LF.
  const char* next = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const DWORD chunk = left > 0x40000000 ? 0x40000000 : static_cast<DWORD>(left);
    DWORD written = 0;
    if (!WriteFile(out, next, chunk, &written, nullptr) || written == 0) return false;
    next += written;
    left -= written;
  }
  return true;
}

}  // namespace quennet::platform
