// The Steam library's functions as one table, loaded at run time.
#pragma once

#include <string>

#include "common/result.h"
#include "steam/flat_api.h"

namespace quennet {

// Every flat function the program calls, once. The table below and the loader are built from it.
// A new Steam call takes three lines: its declaration in flat_api.h (which the simulator then has
// to define), its name here, and a method on its interface in interfaces.h that makes the call.
#define QUENNET_STEAM_FUNCTIONS(X)              \
  X(SteamAPI_InitFlat)                          \
  X(SteamAPI_ManualDispatch_Init)               \
  X(SteamAPI_Shutdown)                          \
  X(SteamAPI_SteamUGC_v021)                     \
  X(SteamAPI_SteamUser_v023)                    \
  X(SteamAPI_SteamFriends_v018)                 \
  X(SteamAPI_GetHSteamPipe)                     \
  X(SteamAPI_ManualDispatch_RunFrame)           \
  X(SteamAPI_ManualDispatch_GetNextCallback)    \
  X(SteamAPI_ManualDispatch_FreeLastCallback)   \
  X(SteamAPI_ManualDispatch_GetAPICallResult)   \
  X(SteamAPI_ISteamUser_GetSteamID)             \
  X(SteamAPI_ISteamFriends_GetPersonaName)      \
  X(SteamAPI_ISteamUGC_GetItemState)            \
  X(SteamAPI_ISteamUGC_GetItemInstallInfo)      \
  X(SteamAPI_ISteamUGC_SubscribeItem)           \
  X(SteamAPI_ISteamUGC_UnsubscribeItem)         \
  X(SteamAPI_ISteamUGC_DownloadItem)            \
  X(SteamAPI_ISteamUGC_GetItemDownloadInfo)

// One pointer per flat function, of exactly the type that flat_api.h declares. Tests fill it with
// the simulator's functions directly: `SteamApi{&SteamAPI_InitFlat, ...}`.
struct SteamApi {
#define QUENNET_STEAM_FIELD(name) decltype(&::name) name;
  QUENNET_STEAM_FUNCTIONS(QUENNET_STEAM_FIELD)
#undef QUENNET_STEAM_FIELD
};

// Loads the Steam library (from the executable's folder first) and resolves every function of the
// table. The error says what was missing: the library itself or one function.
Result<SteamApi, std::string> load_steam_api();

}  // namespace quennet
