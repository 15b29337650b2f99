#include "platform/environment.h"

#include <stdlib.h>

#include <string>

#include "platform/fatal.h"
#include "platform/system_error.h"

namespace quennet::platform {

void set_environment_variable(const char* name, const char* value) {
  if (setenv(name, value, 1) == 0) return;
  fatal_error(std::string("cannot set environment variable ") + name + " to " + value + ": " +
              last_system_error());
}

}  // namespace quennet::platform
