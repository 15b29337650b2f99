#include "platform/output.h"

#include <errno.h>
#include <unistd.h>

namespace quennet::platform {

bool write_stdout(std::string_view bytes) {
  const char* next = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t written = write(STDOUT_FILENO, next, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    next += written;
    left -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace quennet::platform
