// The readers of JSON values that the scenario (scenario_json.cpp) and the state file
// (state_file.cpp) share: numbers, ids, result codes, bytes, objects whose keys are checked, and the
// keys of an item's facts, which both documents hold. A mistake is reported with where it is (for
// example `items[1].subscribe.afterPasses: expected a whole number from 1 to 4294967295`), and
// unknown keys are mistakes too, so that a misspelt key cannot silently fall back to a default.
//
// The readers throw JsonFieldError; only the two documents' entry points, parse_scenario and
// parse_state, catch it and hand back its message, so it never leaves the simulator's reading.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "nlohmann/json.hpp"

#include "sim/scenario.h"

namespace steam_sim::json_fields {

using Json = nlohmann::json;

struct JsonFieldError {
  std::string message;
};

// Refuses the document: throws JsonFieldError naming the place (`path`, "" being the document
// itself) and the problem.
[[noreturn]] void refuse(const std::string& path, const std::string& problem);

std::uint64_t unsigned_number(const Json& value, const std::string& path, std::uint64_t min,
                              std::uint64_t max);
std::int64_t signed_number(const Json& value, const std::string& path, std::int64_t min,
                           std::int64_t max);
// Ids, Steam IDs and handles: a number, or a string of digits for values past 2^53 that some JSON
// writers cannot hold exactly.
std::uint64_t id_number(const Json& value, const std::string& path);
// A Steam result code, as a number or by the name of a failure that hosts meet in practice.
std::int32_t result_code(const Json& value, const std::string& path);
bool boolean(const Json& value, const std::string& path);
const std::string& text(const Json& value, const std::string& path);
std::string hex_bytes(const Json& value, const std::string& path);
const Json& array(const Json& value, const std::string& path);

// Error texts go into a one-line message and a one-line log entry.
std::string one_line(std::string text);

// One JSON object of a document: checks its keys on construction and reads its members.
class Fields {
 public:
  Fields(const Json& object, std::string path, std::initializer_list<std::string_view> known);

  const std::string& path() const { return path_; }
  std::string path_of(std::string_view key) const {
    return path_.empty() ? std::string(key) : path_ + "." + std::string(key);
  }

  // The member `key`, or null when the object lacks it.
  const Json* get(const char* key) const {
    auto member = object_.find(key);
    return member == object_.end() ? nullptr : &*member;
  }

  template <typename Number>
  void unsigned_int(const char* key, Number& target, std::uint64_t min = 0) const {
    if (const Json* value = get(key)) {
      target = static_cast<Number>(
          unsigned_number(*value, path_of(key), min, std::numeric_limits<Number>::max()));
    }
  }

  template <typename Number>
  void signed_int(const char* key, Number& target) const {
    if (const Json* value = get(key)) {
      target = static_cast<Number>(signed_number(*value, path_of(key),
                                                 std::numeric_limits<Number>::min(),
                                                 std::numeric_limits<Number>::max()));
    }
  }

  // A Steam result code, as a number or by its name.
  void result(const char* key, std::int32_t& target) const {
    if (const Json* value = get(key)) target = result_code(*value, path_of(key));
  }

  void id(const char* key, std::uint64_t& target) const {
    if (const Json* value = get(key)) target = id_number(*value, path_of(key));
  }

  void flag(const char* key, bool& target) const {
    if (const Json* value = get(key)) target = boolean(*value, path_of(key));
  }

  // Raw bytes given either as text under `key` or as hexadecimal under `key`Bytes. Returns whether
  // either was there.
  bool bytes(const char* key, std::string& target) const;

 private:
  const Json& object_;
  std::string path_;
};

// "install" in an item or a script step: an object, or null for none. Without a folder of its own,
// an item is installed where this OS's Steam client would put it.
std::optional<ScriptedInstall> read_optional_install(const Json& value, const std::string& path,
                                                     PublishedFileId_t item);

// "downloadInfo": {"done": N, "total": N}, or null for none.
std::optional<DownloadInfo> read_optional_download_info(const Json& value,
                                                        const std::string& path);

// The keys of an item's facts, which a scenario and a state file share: "id" (required), "state",
// "install", "downloadInfo" and "acceptDownload".
void read_item_facts(const Fields& fields, ItemScenario& item);

}  // namespace steam_sim::json_fields
