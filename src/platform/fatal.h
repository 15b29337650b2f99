// Internal errors: the program itself is broken or the OS refused something it cannot do without.
#pragma once

#include <string_view>

namespace quennet::platform {

// Writes "quennet: <message>" as one line to standard error and ends the process at once with exit
// status 1. Never writes a record.
[[noreturn]] void fatal_error(std::string_view message);

}  // namespace quennet::platform
