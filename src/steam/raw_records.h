// Reading what Steam hands over as raw bytes: records with fields at fixed offsets, and texts in
// fixed-size buffers.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace quennet {

// The `T` stored at `offset` bytes into `record`, whatever its alignment.
template <typename T>
T read_at(const void* record, std::size_t offset) {
  T value;
  std::memcpy(&value, static_cast<const unsigned char*>(record) + offset, sizeof value);
  return value;
}

// The bytes of a NUL-terminated string that lives in a buffer of `capacity` bytes, up to the first
// zero byte; all `capacity` bytes when there is none. Never reads past the buffer. Null gives "".
inline std::string_view until_nul(const char* buffer, std::size_t capacity) {
  if (buffer == nullptr) return {};
  const void* nul = std::memchr(buffer, 0, capacity);
  return {buffer, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - buffer) : capacity};
}

}  // namespace quennet
