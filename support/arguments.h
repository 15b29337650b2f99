// Arguments as the program receives them from the OS: NUL-terminated strings. The strings of
// `args` must outlive the list.
#pragma once

#include <string>
#include <vector>

namespace quennet::test {

inline std::vector<const char*> argv_of(const std::vector<std::string>& args) {
  std::vector<const char*> argv;
  argv.reserve(args.size());
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  return argv;
}

}  // namespace quennet::test
