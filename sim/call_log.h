// The record of calls that tests read: one line per call, kept in memory (in-process tests) or
// written to a file (the shared library), or nowhere.
#pragma once

#include <string>
#include <string_view>

#include "sim/os.h"

namespace steam_sim {

// The format of a log line, defined here for the writer and for the tests that read the log
// (tests/blackbox/run_cases.py reads these four constants from this file):
//   a call              <function> [<argument>...][ -> <result>]   the function's name begins SteamAPI_
//   misuse by a caller  sim: misuse: <what>, before the call's own line
//   the sim's own fault sim: internal error: <what>
// Nothing else is ever written to the log.
inline constexpr char CALL_PREFIX[] = "SteamAPI_";
inline constexpr char RESULT_SEPARATOR[] = " -> ";
inline constexpr char MISUSE_PREFIX[] = "sim: misuse: ";
inline constexpr char INTERNAL_ERROR_PREFIX[] = "sim: internal error: ";

class CallLog {
 public:
  // A log that keeps nothing.
  CallLog() = default;

  static CallLog in_memory();
  // Writes each line to `file` at once, so a process killed mid-run still leaves every line it
  // logged.
  static CallLog to_file(os::File file);

  void line(std::string_view text);
  // The caller broke a rule of the library; handled harmlessly, but tests look for these.
  void misuse(std::string_view what);

  const std::string& memory() const { return memory_; }

 private:
  bool in_memory_ = false;
  std::string memory_;
  os::File file_;
};

}  // namespace steam_sim
