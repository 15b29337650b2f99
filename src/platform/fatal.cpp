#include "platform/fatal.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace quennet::platform {

void fatal_error(std::string_view message) {
  std::string line = "quennet: ";
  line += message;
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  // No destructors, no atexit handlers: the state they would tidy up is what just broke.
  std::_Exit(1);
}

}  // namespace quennet::platform
