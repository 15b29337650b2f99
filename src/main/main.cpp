#include <new>

#include "main/run.h"
#include "platform/entry.h"
#include "platform/fatal.h"
#include "protocol/utf8.h"

namespace quennet {

int program_main(std::span<const char* const> args) {
  std::set_new_handler([] { platform::fatal_error("out of memory"); });
  // A record must never carry invalid UTF-8, so such an argument is refused before anything else.
  // (Windows arguments were converted strictly already; this catches POSIX bytes.)
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (!is_valid_utf8(args[i])) {
      platform::fatal_error("argument " + std::to_string(i + 1) + " is not valid Unicode text");
    }
  }
  return run(args, production_context());
}

}  // namespace quennet
