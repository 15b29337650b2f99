#include "platform/environment.h"

#include <windows.h>

#include <string>

#include "platform/fatal.h"
#include "platform/system_error.h"

namespace quennet::platform {

namespace {

std::wstring wide(const char* utf8) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  std::wstring text(static_cast<std::size_t>(length > 0 ? length : 1), L'\0');
  if (length > 0) MultiByteToWideChar(CP_UTF8, 0, utf8, -1, text.data(), length);
  text.pop_back();  // the terminating NUL that the conversion counted
  return text;
}

}  // namespace

void set_environment_variable(const char* name, const char* value) {
  // SetEnvironmentVariableW, not the C runtime's copy: the Steam library reads the real one.
  if (SetEnvironmentVariableW(wide(name).c_str(), wide(value).c_str())) return;
  fatal_error(std::string("cannot set environment variable ") + name + " to " + value + ": " +
              last_system_error());
}

}  // namespace quennet::platform
