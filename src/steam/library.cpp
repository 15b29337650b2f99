#include "steam/library.h"

#include "platform/shared_library.h"

namespace quennet {

namespace {

// A symbol is data to the OS loader; turning it back into the function it is needs this one cast.
template <typename Function>
bool resolve(const platform::SharedLibrary& library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(library.symbol(name));
  return function != nullptr;
}

}  // namespace

Result<SteamApi, std::string> load_steam_api() {
  auto library = platform::load_shared_library(platform::STEAM_LIBRARY_FILE);
  if (!library) return Failure{library.error()};

  SteamApi api{};
#define QUENNET_STEAM_RESOLVE(name)                                            \
  if (!resolve(library.value(), #name, api.name)) {                            \
    return Failure{std::string(platform::STEAM_LIBRARY_FILE) + " has no " #name}; \
  }
  QUENNET_STEAM_FUNCTIONS(QUENNET_STEAM_RESOLVE)
#undef QUENNET_STEAM_RESOLVE
  return api;
}

}  // namespace quennet
