// The seam between the OS entry point and the program.
#pragma once

#include <string>
#include <vector>

namespace quennet {

// The whole program, called by the OS entry point once the process is prepared (standard streams
// usable, broken pipes harmless). `args` are the arguments after the program path, as UTF-8 where the
// OS delivers text; the program path itself is never looked at. Returns the exit status.
int program_main(std::vector<std::string> args);

}  // namespace quennet
