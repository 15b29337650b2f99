#include "sim/records.h"

#include <cstring>

#include "sim/os.h"

namespace steam_sim {

namespace {

// Puts `value` at `offset` of `record`, which is long enough for it.
template <typename Field>
void put(std::string& record, std::size_t offset, Field value) {
  std::memcpy(record.data() + offset, &value, sizeof value);
}

}  // namespace

std::string call_completed_notice(SteamAPICall_t handle, std::int32_t result_id,
                                  std::uint32_t result_size) {
  std::string record(16, '\0');  // the same on every OS
  put(record, 0, handle);
  put(record, 8, result_id);
  put(record, 12, result_size);
  return record;
}

std::string download_result_notice(std::uint32_t app_id, PublishedFileId_t item,
                                   std::int32_t result) {
  const os::RecordLayouts& at = os::RECORD_LAYOUTS;
  std::string record(at.notice_size, '\0');
  put(record, 0, app_id);
  put(record, at.notice_item, item);
  put(record, at.notice_result, result);
  return record;
}

std::string subscription_result(std::int32_t result, PublishedFileId_t item) {
  const os::RecordLayouts& at = os::RECORD_LAYOUTS;
  std::string record(at.result_size, '\0');
  put(record, 0, result);
  put(record, at.result_item, item);
  return record;
}

void write_message_record(void* record, std::int32_t callback_id, const void* data,
                          std::int32_t size) {
  unsigned char bytes[MESSAGE_RECORD_SIZE] = {};
  const std::int32_t user = 0;
  std::memcpy(bytes + 0, &user, sizeof user);
  std::memcpy(bytes + 4, &callback_id, sizeof callback_id);
  std::memcpy(bytes + 8, &data, sizeof data);
  std::memcpy(bytes + 16, &size, sizeof size);
  std::memcpy(record, bytes, sizeof bytes);
}

}  // namespace steam_sim
