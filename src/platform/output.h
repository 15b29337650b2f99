// Standard output, byte for byte.
#pragma once

#include <string_view>

namespace quennet::platform {

// Hands all of `bytes` to the OS as standard output, looping on short writes, with no translation of
// line ends. Returns false when standard output is missing or refused some of the bytes; the rest
// is then lost.
bool write_stdout(std::string_view bytes);

}  // namespace quennet::platform
