#include "steam/steam_text.h"

#include <cstring>

namespace quennet {

std::string_view until_nul(const char* buffer, std::size_t capacity) {
  if (buffer == nullptr) return {};
  const void* nul = std::memchr(buffer, 0, capacity);
  return {buffer, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - buffer) : capacity};
}

}  // namespace quennet
