#include "platform/entry.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "platform/output.h"

namespace {

// A descriptor 0, 1 or 2 that the parent left closed would be handed to the next file anybody opens
// (the Steam library's own log, say), which would then receive what is printed to that descriptor,
// or keep standard output from being moved onto standard error. Park /dev/null there.
void reopen_closed_standard_descriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) {
      dup2(opened, fd);
      close(opened);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  reopen_closed_standard_descriptors();
  // A reader that goes away must make our writes fail, not kill the process before Steam shuts down.
  signal(SIGPIPE, SIG_IGN);
  quennet::platform::keep_stdout_for_records();

  return quennet::program_main(std::span<const char* const>(argv + 1, static_cast<std::size_t>(argc - 1)));
}
