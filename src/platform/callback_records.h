// How the Steam library lays out the callback records whose layout differs between OSes.
#pragma once

#include <cstddef>

namespace quennet::platform {

// The download-result notice (callback 3406): the application id (32 bits) at 0, then the item id
// (64 bits) and the result code (32 bits). The library aligns a 64-bit field to 8 bytes on Windows
// and to 4 on Linux, so the item id starts at 8 or at 4.
struct DownloadResultLayout {
  std::size_t item_offset;
  std::size_t result_offset;
  std::size_t size;
};

extern const DownloadResultLayout DOWNLOAD_RESULT_LAYOUT;

}  // namespace quennet::platform
