// UTF-8 checks and the lossy decoding applied to every string that Steam hands us.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quennet {

// True when `bytes` is well-formed UTF-8 (no overlongs, no encoded surrogates, nothing above U+10FFFF).
bool is_valid_utf8(std::string_view bytes);

// `bytes` with every maximal ill-formed subsequence replaced by U+FFFD (EF BF BD); well-formed
// sequences pass unchanged.
std::string decode_utf8_lossy(std::string_view bytes);

}  // namespace quennet
