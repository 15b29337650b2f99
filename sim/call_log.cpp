#include "sim/call_log.h"

namespace steam_sim {

CallLog CallLog::in_memory() {
  CallLog log;
  log.in_memory_ = true;
  return log;
}

CallLog CallLog::to_file(os::File file) {
  CallLog log;
  log.file_ = std::move(file);
  return log;
}

void CallLog::line(std::string_view text) {
  std::string entry(text);
  entry += '\n';
  if (in_memory_) memory_ += entry;
  if (file_) {
    std::fwrite(entry.data(), 1, entry.size(), file_.get());
    std::fflush(file_.get());
  }
}

void CallLog::misuse(std::string_view what) { line(MISUSE_PREFIX + std::string(what)); }

}  // namespace steam_sim
