#include "platform/record_packing.h"

namespace quennet::platform {

const std::size_t CALLBACK_RECORD_PACKING = 8;

}  // namespace quennet::platform
