#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "sim/os.h"

namespace steam_sim::os {

const RecordLayouts RECORD_LAYOUTS = {4, 12, 16, 4, 12};

std::optional<std::string> environment_variable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

File open_file(const std::string& path, const char* mode) {
  return File(std::fopen(path.c_str(), mode));
}

std::optional<std::uint64_t> stdout_file_size() {
  struct stat status {};
  if (fstat(STDOUT_FILENO, &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(status.st_size);
}

std::string default_item_folder(std::uint64_t item) {
  return "/home/survivor/.local/share/Steam/steamapps/workshop/content/221100/" +
         std::to_string(item);
}

}  // namespace steam_sim::os
