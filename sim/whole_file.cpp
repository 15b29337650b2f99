#include "sim/whole_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sim/os.h"

namespace steam_sim {

std::string read_whole_file(const std::string& path, std::string& contents, bool* missing) {
  const os::File file = os::open_file(path, "rb");
  if (!file) {
    if (missing) *missing = errno == ENOENT;
    return std::strerror(errno);
  }
  char buffer[16384];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) contents.append(buffer, got);
  if (std::ferror(file.get())) return std::strerror(errno);
  return "";
}

std::string write_whole_file(const std::string& path, const std::string& contents) {
  os::File file = os::open_file(path, "wb");
  if (!file) return std::strerror(errno);
  if (std::fwrite(contents.data(), 1, contents.size(), file.get()) != contents.size() ||
      std::fflush(file.get()) != 0)
    return std::strerror(errno);
  if (std::fclose(file.release()) != 0) return std::strerror(errno);
  return "";
}

}  // namespace steam_sim
