// Reading the fields of Steam's records, which come as bytes at fixed offsets.
#pragma once

#include <cstddef>
#include <cstring>

namespace quennet {

// The `T` stored at `offset` bytes into `record`, whatever its alignment.
template <typename T>
T read_at(const void* record, std::size_t offset) {
  T value;
  std::memcpy(&value, static_cast<const unsigned char*>(record) + offset, sizeof value);
  return value;
}

}  // namespace quennet
