// Standard output, byte for byte.
#pragma once

#include <string_view>

namespace quennet::platform {

// Keeps a handle of our own on standard output for the records, then points the process's standard
// output at standard error. Whatever else in the process prints (the Steam library, the client code
// it loads) then lands beside their diagnostics on standard error, never between or inside records.
// Called once at start, before the Steam library is loaded; until then write_stdout writes to
// standard output itself.
void keep_stdout_for_records();

// Hands all of `bytes` to the OS as the records' standard output (the kept handle, once kept),
// looping on short writes, with no translation of line ends. Returns false when standard output is
// missing or refused some of the bytes; the rest is then lost.
bool write_stdout(std::string_view bytes);

}  // namespace quennet::platform
