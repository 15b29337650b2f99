// The byte layouts of the records the Steam client hands its caller. Fields sit where the OS's
// Steam library puts them (os::RECORD_LAYOUTS), written out as offsets rather than derived, so
// that the simulator checks the program's reading of them instead of sharing it.
#pragma once

#include <cstdint>
#include <string>

#include "steam/flat_api.h"

namespace steam_sim {

inline constexpr std::int32_t CALL_COMPLETED_ID = 703;
inline constexpr std::int32_t SUBSCRIBE_RESULT_ID = 1313;
inline constexpr std::int32_t UNSUBSCRIBE_RESULT_ID = 1315;
inline constexpr std::int32_t DOWNLOAD_RESULT_ID = 3406;
inline constexpr std::int32_t SERVERS_DISCONNECTED_ID = 103;
inline constexpr std::int32_t IPC_FAILURE_ID = 117;
inline constexpr std::int32_t STEAM_SHUTDOWN_ID = 704;

// The callback message record that GetNextCallback fills.
inline constexpr std::size_t MESSAGE_RECORD_SIZE = 24;

// "A call has completed": call handle at 0, result callback id at 8, result size at 12.
std::string call_completed_notice(SteamAPICall_t handle, std::int32_t result_id,
                                  std::uint32_t result_size);

// "A download has ended": application id at 0, then item id and result code.
std::string download_result_notice(std::uint32_t app_id, PublishedFileId_t item,
                                   std::int32_t result);

// The result of SubscribeItem or UnsubscribeItem: result code at 0, then the item id.
std::string subscription_result(std::int32_t result, PublishedFileId_t item);

// The message record: user handle 0 at 0, callback id at 4, data address at 8, data size at 16.
void write_message_record(void* record, std::int32_t callback_id, const void* data,
                          std::int32_t size);

}  // namespace steam_sim
