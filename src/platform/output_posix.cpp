#include "platform/output.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

namespace quennet::platform {

namespace {

// Where records go: descriptor 1 until keep_stdout_for_records, then our own copy of it. -1 when
// there was no standard output to keep; every write then fails, as it would to a closed one.
int records_fd = STDOUT_FILENO;

}  // namespace

void keep_stdout_for_records() {
  // Close-on-exec: a process that the library starts must not inherit the record stream. Above the
  // three standard descriptors, whatever the parent left closed.
  records_fd = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  dup2(STDERR_FILENO, STDOUT_FILENO);
}

bool write_stdout(std::string_view bytes) {
  const char* next = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t written = write(records_fd, next, left);
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
