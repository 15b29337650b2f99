// How the Steam library lays out its callback records on this OS.
#pragma once

#include <cstddef>

namespace quennet::platform {

// The largest alignment the Steam library gives a field of a callback record: 8 on Windows, 4 on
// Linux. A 64-bit field after a 32-bit one therefore starts at offset 8 on Windows and 4 on Linux.
extern const std::size_t CALLBACK_RECORD_PACKING;

}  // namespace quennet::platform
