// The Steam library's flat functions that quennet calls, declared once: the program builds its
// function table from these types, and the simulated Steam defines the same functions from this same
// header, so the compiler checks both sides.
//
// All are plain C functions. `bool` is the one-byte C++ bool; Steam IDs, item ids and API call
// handles are unsigned 64-bit; a pipe is a signed 32-bit handle.
#pragma once

#include <cstdint>

extern "C" {

using HSteamPipe = std::int32_t;
using SteamAPICall_t = std::uint64_t;
using PublishedFileId_t = std::uint64_t;

// The library's interface objects, only ever handled through pointers.
struct SteamUGCObject;
struct SteamUserObject;
struct SteamFriendsObject;

// Size of the message buffer that SteamAPI_InitFlat fills.
inline constexpr int STEAM_INIT_MESSAGE_SIZE = 1024;

// 0 is success; otherwise 1 (failed), 2 (no Steam client) or 3 (client too old), with a
// NUL-terminated UTF-8 message in the 1024-byte buffer.
std::int32_t SteamAPI_InitFlat(char* message);
void SteamAPI_ManualDispatch_Init();
void SteamAPI_Shutdown();

SteamUGCObject* SteamAPI_SteamUGC_v021();
SteamUserObject* SteamAPI_SteamUser_v023();
SteamFriendsObject* SteamAPI_SteamFriends_v018();

HSteamPipe SteamAPI_GetHSteamPipe();
void SteamAPI_ManualDispatch_RunFrame(HSteamPipe pipe);
// Fills the callback message record at `message` (24 bytes: user handle at 0, callback id at 4,
// data address at 8, data size at 16) while messages are pending.
bool SteamAPI_ManualDispatch_GetNextCallback(HSteamPipe pipe, void* message);
void SteamAPI_ManualDispatch_FreeLastCallback(HSteamPipe pipe);
bool SteamAPI_ManualDispatch_GetAPICallResult(HSteamPipe pipe, SteamAPICall_t call, void* result,
                                              int result_size, int result_callback_id,
                                              bool* io_failure);

std::uint64_t SteamAPI_ISteamUser_GetSteamID(SteamUserObject* user);
const char* SteamAPI_ISteamFriends_GetPersonaName(SteamFriendsObject* friends);

std::uint32_t SteamAPI_ISteamUGC_GetItemState(SteamUGCObject* ugc, PublishedFileId_t item);
bool SteamAPI_ISteamUGC_GetItemInstallInfo(SteamUGCObject* ugc, PublishedFileId_t item,
                                           std::uint64_t* size_on_disk, char* folder,
                                           std::uint32_t folder_size, std::uint32_t* timestamp);
SteamAPICall_t SteamAPI_ISteamUGC_SubscribeItem(SteamUGCObject* ugc, PublishedFileId_t item);
SteamAPICall_t SteamAPI_ISteamUGC_UnsubscribeItem(SteamUGCObject* ugc, PublishedFileId_t item);
bool SteamAPI_ISteamUGC_DownloadItem(SteamUGCObject* ugc, PublishedFileId_t item, bool high_priority);
bool SteamAPI_ISteamUGC_GetItemDownloadInfo(SteamUGCObject* ugc, PublishedFileId_t item,
                                            std::uint64_t* bytes_downloaded,
                                            std::uint64_t* bytes_total);

}  // extern "C"
