// Loading the Steam library at run time.
#pragma once

#include <string>

#include "common/result.h"

namespace quennet::platform {

// The Steam library's file name on this OS: "steam_api64.dll" or "libsteam_api.so".
extern const char STEAM_LIBRARY_FILE[];

// A loaded shared library. It stays loaded until the process exits: the Steam library may still have
// threads winding down after its shutdown call, and nothing is gained by unloading it.
struct SharedLibrary {
  void* handle;

  // The address of the exported function `name`, or null when the library has none.
  void* symbol(const char* name) const;
};

// Loads `file_name` (no path) from the executable's own folder. Windows searches that folder and
// System32 only, never the current directory. POSIX falls back to the default search only when no
// file of that name is beside the executable: one that is there but does not load is the one the
// user meant, and its error is reported. The error is "<file> could not be loaded: <reason>".
Result<SharedLibrary, std::string> load_shared_library(const char* file_name);

}  // namespace quennet::platform
