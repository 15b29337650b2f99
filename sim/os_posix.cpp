#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

Lock lock_file(const std::string& path, std::string& error) {
  const int descriptor = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (descriptor < 0) {
    error = std::strerror(errno);
    return nullptr;
  }
  int locked = 0;
  while ((locked = flock(descriptor, LOCK_EX)) != 0 && errno == EINTR) {
  }
  if (locked != 0) {
    error = std::strerror(errno);
    close(descriptor);
    return nullptr;
  }
  // Closing the descriptor lets the lock go.
  return Lock(new int(descriptor), [](void* held) {
    close(*static_cast<int*>(held));
    delete static_cast<int*>(held);
  });
}

std::string replace_file(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) return std::strerror(errno);
  return "";
}

std::optional<std::uint64_t> file_size(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(status.st_size);
}

void print(StandardStream stream, const std::string& bytes) {
  const int descriptor = stream == StandardStream::Output ? STDOUT_FILENO : STDERR_FILENO;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = write(descriptor, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    done += static_cast<std::size_t>(written);
  }
}

std::string default_item_folder(std::uint64_t item) {
  return "/home/survivor/.local/share/Steam/steamapps/workshop/content/221100/" +
         std::to_string(item);
}

}  // namespace steam_sim::os
