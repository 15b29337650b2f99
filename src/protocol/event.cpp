#include "protocol/event.h"

#include <charconv>

namespace quennet {

std::string decimal(std::uint64_t value) {
  char digits[20];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  return std::string(digits, static_cast<std::size_t>(end - digits));
}

Error item_error(ErrorCode code, std::string message, WorkshopId id) {
  return Error{code, std::move(message), decimal(id)};
}

}  // namespace quennet
