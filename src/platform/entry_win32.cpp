#include <windows.h>

#include <string>
#include <vector>

#include "platform/wide_text.h"
#include "platform/entry.h"
#include "platform/fatal.h"
#include "platform/output.h"

int wmain(int argc, wchar_t** argv) {
  // We run hidden inside somebody's launcher: no system error dialog may ever wait for a click.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  quennet::platform::keep_stdout_for_records();

  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    std::optional<std::string> arg = quennet::platform::utf8_from_utf16(argv[i]);
    if (!arg) quennet::platform::fatal_error("argument " + std::to_string(i) + " is not valid Unicode text");
    args.push_back(std::move(*arg));
  }
  std::vector<const char*> views;
  for (const std::string& arg : args) views.push_back(arg.c_str());
  return quennet::program_main(views);
}
