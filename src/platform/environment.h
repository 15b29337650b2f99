// The process's own environment.
#pragma once

namespace quennet::platform {

// Sets `name` to `value` (both UTF-8) in this process's environment, where libraries loaded later
// read it. A failure is a fatal internal error that names the variable, the value and the system's
// reason.
void set_environment_variable(const char* name, const char* value);

}  // namespace quennet::platform
