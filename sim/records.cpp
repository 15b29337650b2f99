#include "sim/records.h"

#include <algorithm>
#include <cstring>

#include "platform/record_packing.h"

namespace steam_sim {

namespace {

// Builds a record field by field, placing each where the Steam library's packing puts it.
class RecordWriter {
 public:
  template <typename Field>
  void add(Field value) {
    const std::size_t alignment =
        std::min(sizeof(Field), quennet::platform::CALLBACK_RECORD_PACKING);
    bytes_.resize(align(bytes_.size(), alignment), '\0');
    const std::size_t offset = bytes_.size();
    bytes_.resize(offset + sizeof(Field));
    std::memcpy(bytes_.data() + offset, &value, sizeof(Field));
    widest_ = std::max(widest_, alignment);
  }

  // The finished record, padded at the end to its widest field's alignment, as a compiler would.
  std::string finish() {
    bytes_.resize(align(bytes_.size(), widest_), '\0');
    return std::move(bytes_);
  }

 private:
  static std::size_t align(std::size_t offset, std::size_t alignment) {
    return (offset + alignment - 1) / alignment * alignment;
  }

  std::string bytes_;
  std::size_t widest_ = 1;
};

}  // namespace

std::string call_completed_notice(SteamAPICall_t handle, std::int32_t result_id,
                                  std::uint32_t result_size) {
  RecordWriter record;
  record.add(handle);
  record.add(result_id);
  record.add(result_size);
  return record.finish();
}

std::string download_result_notice(std::uint32_t app_id, PublishedFileId_t item,
                                   std::int32_t result) {
  RecordWriter record;
  record.add(app_id);
  record.add(item);
  record.add(result);
  return record.finish();
}

std::string subscription_result(std::int32_t result, PublishedFileId_t item) {
  RecordWriter record;
  record.add(result);
  record.add(item);
  return record.finish();
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
