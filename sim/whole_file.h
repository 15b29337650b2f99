// Whole files, read or written in one call: the scenario, the state file.
#pragma once

#include <string>

namespace steam_sim {

// Reads the whole file at the UTF-8 `path` into `contents`. Returns "" or the reason it could not;
// `missing`, when given, tells whether that reason is that there is no such file.
std::string read_whole_file(const std::string& path, std::string& contents,
                            bool* missing = nullptr);

// Writes `contents` as the whole file at the UTF-8 `path`, created or truncated. Returns "" or the
// reason it could not.
std::string write_whole_file(const std::string& path, const std::string& contents);

}  // namespace steam_sim
