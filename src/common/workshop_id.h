// The one value every layer passes around: which Workshop item.
#pragma once

#include <cstdint>

namespace quennet {

// A Steam Workshop item id; never 0 once accepted from the command line.
using WorkshopId = std::uint64_t;

}  // namespace quennet
