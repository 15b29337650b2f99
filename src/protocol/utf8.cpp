#include "protocol/utf8.h"

#include <cstring>

namespace quennet {

namespace {

// The length of the well-formed sequence that starts at `at`, or, negated, the length of the
// maximal ill-formed subsequence found there (at least 1). The bounds of the second byte rule out
// overlongs (E0, F0), surrogates (ED) and values above U+10FFFF (F4).
long sequence_at(std::string_view bytes, std::size_t at) {
  const auto lead = static_cast<unsigned char>(bytes[at]);
  if (lead < 0x80) return 1;
  std::size_t length;
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return -1;  // a continuation byte, C0, C1 or F5 to FF: never valid in front
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (at + i >= bytes.size()) return -static_cast<long>(i);
    const auto byte = static_cast<unsigned char>(bytes[at + i]);
    if (byte < low || byte > high) return -static_cast<long>(i);
    low = 0x80;
    high = 0xBF;
  }
  return static_cast<long>(length);
}

}  // namespace

bool is_valid_utf8(std::string_view bytes) {
  for (std::size_t at = 0; at < bytes.size();) {
    const long length = sequence_at(bytes, at);
    if (length < 0) return false;
    at += static_cast<std::size_t>(length);
  }
  return true;
}

std::string decode_utf8_lossy(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  // Well-formed runs are copied whole, when a replacement or the end interrupts them.
  std::size_t valid_from = 0;
  std::size_t at = 0;
  while (at < bytes.size()) {
    const long length = sequence_at(bytes, at);
    if (length > 0) {
      at += static_cast<std::size_t>(length);
      continue;
    }
    text.append(bytes.data() + valid_from, at - valid_from);
    text += "\xEF\xBF\xBD";
    at += static_cast<std::size_t>(-length);
    valid_from = at;
  }
  text.append(bytes.data() + valid_from, at - valid_from);
  return text;
}

}  // namespace quennet
