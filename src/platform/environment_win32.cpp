#include "platform/environment.h"

#include <windows.h>

#include <string>

#include "platform/fatal.h"
#include "platform/system_error.h"
#include "platform/wide_text.h"

namespace quennet::platform {

void set_environment_variable(const char* name, const char* value) {
  // SetEnvironmentVariableW, not the C runtime's copy: the Steam library reads the real one.
  if (SetEnvironmentVariableW(utf16_from_utf8(name).c_str(), utf16_from_utf8(value).c_str())) return;
  fatal_error(std::string("cannot set environment variable ") + name + " to " + value + ": " +
              last_system_error());
}

}  // namespace quennet::platform
