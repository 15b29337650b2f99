// The seam between the OS entry point and the program.
#pragma once

#include <span>

namespace quennet {

// The whole program, called by the OS entry point once the process is prepared (standard streams
// usable, broken pipes harmless, standard output kept for the records and the process's own pointed
// at standard error). `args` are the arguments after the program path, NUL-terminated,
// as UTF-8 where the OS delivers text; the program path itself is never looked at. They are views,
// not copies: with thousands of ids a copy would be most of the program's memory. Returns the exit
// status.
int program_main(std::span<const char* const> args);

}  // namespace quennet
