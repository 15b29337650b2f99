// Text that Steam hands over in fixed-size buffers.
#pragma once

#include <cstddef>
#include <string_view>

namespace quennet {

// The bytes of a NUL-terminated string that lives in a buffer of `capacity` bytes, up to the first
// zero byte; all `capacity` bytes when there is none. Never reads past the buffer. Null gives "".
std::string_view until_nul(const char* buffer, std::size_t capacity);

}  // namespace quennet
