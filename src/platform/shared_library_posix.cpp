#include "platform/shared_library.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

namespace quennet::platform {

const char STEAM_LIBRARY_FILE[] = "libsteam_api.so";

namespace {

// The folder that holds the running executable, with its trailing slash; empty if unknown.
std::string executable_folder() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  std::string folder(path, static_cast<std::size_t>(length));
  return folder.substr(0, folder.rfind('/') + 1);
}

}  // namespace

void* SharedLibrary::symbol(const char* name) const { return dlsym(handle, name); }

Result<SharedLibrary, std::string> load_shared_library(const char* file_name) {
  const std::string beside = executable_folder() + file_name;
  if (void* handle = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL)) return SharedLibrary{handle};
  // A file beside us that does not load is the one the user meant: report its error, not the search's.
  if (access(beside.c_str(), F_OK) == 0) {
    return Failure{std::string(file_name) + " could not be loaded: " + dlerror()};
  }
  if (void* handle = dlopen(file_name, RTLD_NOW | RTLD_LOCAL)) return SharedLibrary{handle};
  return Failure{std::string(file_name) + " could not be loaded: " + dlerror()};
}

}  // namespace quennet::platform
