#include "sim/json_fields.h"

#include <algorithm>
#include <charconv>

#include "sim/os.h"

namespace steam_sim::json_fields {

namespace {

// The failures that hosts meet in practice, by name, so that a scenario reads as what happens.
struct NamedResult {
  std::string_view name;
  std::int32_t code;
};
constexpr NamedResult NAMED_RESULTS[] = {
    {"generic", 2}, {"deleted", 9}, {"private", 15}, {"diskWriteFailure", 37}, {"diskFull", 54}};

ScriptedInstall read_install(const Json& value, const std::string& path, PublishedFileId_t item) {
  const Fields fields(value, path, {"folder", "folderBytes", "folderFill", "size", "timestamp"});
  ScriptedInstall install;
  const bool has_folder = fields.bytes("folder", install.folder);
  if (const Json* fill = fields.get("folderFill")) {
    if (has_folder) refuse(path, "give only one of \"folder\", \"folderBytes\" and \"folderFill\"");
    const std::string& character = text(*fill, fields.path_of("folderFill"));
    if (character.size() != 1) refuse(fields.path_of("folderFill"), "expected a one-byte character");
    install.fill = character[0];
  } else if (!has_folder) {
    install.folder = os::default_item_folder(item);
  }
  fields.unsigned_int("size", install.size);
  fields.unsigned_int("timestamp", install.timestamp);
  return install;
}

}  // namespace

void refuse(const std::string& path, const std::string& problem) {
  throw JsonFieldError{(path.empty() ? std::string("scenario") : path) + ": " + problem};
}

std::uint64_t unsigned_number(const Json& value, const std::string& path, std::uint64_t min,
                              std::uint64_t max) {
  if (value.is_number_unsigned()) {
    const auto number = value.get<std::uint64_t>();
    if (number >= min && number <= max) return number;
  }
  refuse(path, "expected a whole number from " + std::to_string(min) + " to " + std::to_string(max));
}

std::int64_t signed_number(const Json& value, const std::string& path, std::int64_t min,
                           std::int64_t max) {
  if (value.is_number_unsigned()) {
    const auto number = value.get<std::uint64_t>();
    if (number <= static_cast<std::uint64_t>(max)) return static_cast<std::int64_t>(number);
  } else if (value.is_number_integer()) {
    const auto number = value.get<std::int64_t>();
    if (number >= min && number <= max) return number;
  }
  refuse(path, "expected a whole number from " + std::to_string(min) + " to " + std::to_string(max));
}

std::uint64_t id_number(const Json& value, const std::string& path) {
  if (value.is_string()) {
    const auto& digits = value.get_ref<const std::string&>();
    std::uint64_t number = 0;
    const char* end = digits.data() + digits.size();
    const bool all_digits =
        !digits.empty() &&
        std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (all_digits && std::from_chars(digits.data(), end, number).ptr == end) return number;
  } else if (value.is_number_unsigned()) {
    return value.get<std::uint64_t>();
  }
  refuse(path, "expected a string of digits or a whole number from 0 to 18446744073709551615");
}

std::int32_t result_code(const Json& value, const std::string& path) {
  if (!value.is_string()) {
    return static_cast<std::int32_t>(signed_number(value, path, INT32_MIN, INT32_MAX));
  }
  std::string names;
  for (const NamedResult& named : NAMED_RESULTS) {
    if (value.get_ref<const std::string&>() == named.name) return named.code;
    names += (names.empty() ? "\"" : ", \"") + std::string(named.name) + "\"";
  }
  refuse(path, "expected a result code or one of " + names);
}

bool boolean(const Json& value, const std::string& path) {
  if (!value.is_boolean()) refuse(path, "expected true or false");
  return value.get<bool>();
}

const std::string& text(const Json& value, const std::string& path) {
  if (!value.is_string()) refuse(path, "expected a string");
  return value.get_ref<const std::string&>();
}

std::string hex_bytes(const Json& value, const std::string& path) {
  const std::string& hex = text(value, path);
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  if (hex.size() % 2 != 0) refuse(path, "expected hexadecimal bytes (an even number of digits)");
  std::string bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = digit(hex[i]);
    const int low = digit(hex[i + 1]);
    if (high < 0 || low < 0) refuse(path, "expected hexadecimal bytes, found \"" + hex + "\"");
    bytes.push_back(static_cast<char>(high * 16 + low));
  }
  return bytes;
}

const Json& array(const Json& value, const std::string& path) {
  if (!value.is_array()) refuse(path, "expected an array");
  return value;
}

std::string one_line(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  return text;
}

Fields::Fields(const Json& object, std::string path, std::initializer_list<std::string_view> known)
    : object_(object), path_(std::move(path)) {
  if (!object.is_object()) refuse(path_, "expected an object");
  for (const auto& member : object.items()) {
    if (std::find(known.begin(), known.end(), member.key()) == known.end()) {
      refuse(path_, "unknown key \"" + member.key() + "\"");
    }
  }
}

bool Fields::bytes(const char* key, std::string& target) const {
  const std::string hex_key = std::string(key) + "Bytes";
  const Json* plain = get(key);
  const Json* hex = get(hex_key.c_str());
  if (plain && hex) refuse(path_, "give either \"" + std::string(key) + "\" or \"" + hex_key + "\"");
  if (plain) target = text(*plain, path_of(key));
  if (hex) target = hex_bytes(*hex, path_of(hex_key));
  return plain || hex;
}

std::optional<ScriptedInstall> read_optional_install(const Json& value, const std::string& path,
                                                     PublishedFileId_t item) {
  if (value.is_null()) return std::nullopt;
  return read_install(value, path, item);
}

std::optional<DownloadInfo> read_optional_download_info(const Json& value,
                                                        const std::string& path) {
  if (value.is_null()) return std::nullopt;
  const Fields fields(value, path, {"done", "total"});
  DownloadInfo info;
  fields.unsigned_int("done", info.done);
  fields.unsigned_int("total", info.total);
  return info;
}

void read_item_facts(const Fields& fields, ItemScenario& item) {
  // Every other key has a default; an item without an id is surely a mistake.
  if (!fields.get("id")) refuse(fields.path(), "missing \"id\"");
  fields.id("id", item.id);
  ItemFacts& facts = item.facts;
  fields.unsigned_int("state", facts.state);
  if (const Json* install = fields.get("install")) {
    facts.install = read_optional_install(*install, fields.path_of("install"), item.id);
  }
  if (const Json* info = fields.get("downloadInfo")) {
    facts.download_info = read_optional_download_info(*info, fields.path_of("downloadInfo"));
  }
  fields.flag("acceptDownload", facts.accept_download);
}

}  // namespace steam_sim::json_fields
