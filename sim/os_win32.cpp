#include <windows.h>

#include <vector>

#include "sim/os.h"

namespace steam_sim::os {

const RecordLayouts RECORD_LAYOUTS = {8, 16, 24, 8, 16};

namespace {

std::wstring wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0) {
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(),
                        length);
  }
  return text;
}

std::string narrow(const wchar_t* text, std::size_t length) {
  if (length == 0) return std::string();
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), utf8.data(), size, nullptr,
                        nullptr);
  }
  return utf8;
}

}  // namespace

std::optional<std::string> environment_variable(const char* name) {
  // Not getenv: the C runtime keeps a copy taken at start-up, and the loading program sets SteamAppId
  // with SetEnvironmentVariableW just before it loads us.
  const std::wstring wide_name = wide(name);
  SetLastError(ERROR_SUCCESS);
  const DWORD needed = GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0);
  if (needed == 0) {
    if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return std::string();
  }
  std::vector<wchar_t> value(needed);
  const DWORD length = GetEnvironmentVariableW(wide_name.c_str(), value.data(), needed);
  if (length >= needed) return std::nullopt;  // changed under us; treat as unset
  return narrow(value.data(), length);
}

File open_file(const std::string& path, const char* mode) {
  return File(_wfopen(wide(path).c_str(), wide(mode).c_str()));
}

std::optional<std::uint64_t> stdout_file_size() {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (output == nullptr || output == INVALID_HANDLE_VALUE) return std::nullopt;
  if (GetFileType(output) != FILE_TYPE_DISK) return std::nullopt;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(output, &size)) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

std::string default_item_folder(std::uint64_t item) {
  return "C:\\Program Files (x86)\\Steam\\steamapps\\workshop\\content\\221100\\" +
         std::to_string(item);
}

}  // namespace steam_sim::os
