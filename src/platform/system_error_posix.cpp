#include "platform/system_error.h"

#include <errno.h>
#include <string.h>

namespace quennet::platform {

std::string last_system_error() { return strerror(errno); }

}  // namespace quennet::platform
