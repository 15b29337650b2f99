#include "platform/shared_library.h"

#include <windows.h>

#include "platform/system_error.h"
#include "platform/wide_text.h"

namespace quennet::platform {

const char STEAM_LIBRARY_FILE[] = "steam_api64.dll";

void* SharedLibrary::symbol(const char* name) const {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

Result<SharedLibrary, std::string> load_shared_library(const char* file_name) {
  const std::wstring wide_name = utf16_from_utf8(file_name);
  // Never the current directory: a planted DLL there must not run inside the launcher's child.
  HMODULE module = LoadLibraryExW(wide_name.c_str(), nullptr,
                                  LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module == nullptr) {
    return Failure{std::string(file_name) + " could not be loaded: " + last_system_error()};
  }
  return SharedLibrary{module};
}

}  // namespace quennet::platform
