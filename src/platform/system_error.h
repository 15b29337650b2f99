// The OS's own words for the error of the last failed system call.
#pragma once

#include <string>

namespace quennet::platform {

// POSIX: strerror(errno). Windows: FormatMessage of GetLastError(), as UTF-8, without the trailing
// line break. Call it right after the failed call, before anything else can change the error.
std::string last_system_error();

}  // namespace quennet::platform
