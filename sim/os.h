// The only part of the simulated Steam that knows the OS.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace steam_sim::os {

// The value of environment variable `name` as UTF-8, or nothing when it is unset. On Windows this
// is the process's real environment, which sees what the loading program set with
// SetEnvironmentVariableW.
std::optional<std::string> environment_variable(const char* name);

struct CloseFile {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, CloseFile>;

// Opens the file at the UTF-8 `path` with the C runtime's `mode` ("rb", "wb"). Returns null with
// errno set on failure.
File open_file(const std::string& path, const char* mode);

// An exclusive lock on the file at `path` (created when missing), waited for and held until the
// last copy is dropped or the process ends, however it ends. Null with `error` set on failure.
using Lock = std::shared_ptr<void>;
Lock lock_file(const std::string& path, std::string& error);

// Puts the file at `from` in the place of `to` in one step, so that a reader sees either the old
// file or the new one. Returns "" or the reason it could not.
std::string replace_file(const std::string& from, const std::string& to);

// The size of the regular file at the UTF-8 `path`, or nothing when it is missing or not a regular
// file.
std::optional<std::uint64_t> file_size(const std::string& path);

// Writes `bytes` to the process's standard output or standard error as they are at this moment
// (the descriptor on POSIX, the standard handle on Windows), as client code that prints would.
// Failures are ignored.
enum class StandardStream { Output, Error };
void print(StandardStream stream, const std::string& bytes);

// Where this OS's Steam library puts the fields of the records that hold a 64-bit field after a
// 32-bit one: Windows aligns 64-bit fields to 8 bytes, Linux to 4, so offsets and sizes differ.
struct RecordLayouts {
  // The download-result notice: application id at 0, then the item id and the result code.
  std::size_t notice_item, notice_result, notice_size;
  // The result of SubscribeItem and UnsubscribeItem: result code at 0, then the item id.
  std::size_t result_item, result_size;
};
extern const RecordLayouts RECORD_LAYOUTS;

// Where the Steam client of this OS would install `item` of DayZ.
std::string default_item_folder(std::uint64_t item);

}  // namespace steam_sim::os
