#include "protocol/emit.h"

#include <mutex>
#include <string>

#include "platform/fatal.h"
#include "platform/output.h"
#include "protocol/json.h"

namespace quennet {

namespace {

// Every record is written from the one program thread; the lock keeps a record whole should that
// ever change, and costs nothing uncontended.
std::mutex& stdout_lock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

void emit(Event event) {
  std::lock_guard<std::mutex> hold(stdout_lock());
  std::string line;
  line.reserve(256);  // most records in one allocation
  if (!serialise_event(event, line)) {
    platform::fatal_error("event serialisation failed: a record holds text that is not valid UTF-8");
  }
  line += '\n';
  // We write with the OS's own calls and keep no buffer, so the line is flushed once written.
  platform::write_stdout(line);
}

}  // namespace quennet
