// What the fuzz targets check, and how a broken check becomes a finding: a message on standard
// error and abort(), which libFuzzer reports as a crash and saves the input of.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#define FUZZ_CHECK(condition)                                                               \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: check failed: %s\n%s\n", __FILE__, __LINE__, #condition, \
                   quennet::fuzz::context().c_str());                                       \
      std::abort();                                                                         \
    }                                                                                       \
  } while (false)

namespace quennet::fuzz {

// What a target tells about the input it is checking, shown with a failed check.
inline std::string& context() {
  static std::string text;
  return text;
}

// The keys of each record kind, in the order they must appear: the "required" list of the kind in
// the record schema (its path comes from the build), which names every key in the written order.
inline std::vector<std::string> record_keys(const std::string& type) {
  static const nlohmann::json definitions = [] {
    std::ifstream file(QUENNET_RECORD_SCHEMA);
    nlohmann::json schema = nlohmann::json::parse(file, nullptr, /*allow_exceptions=*/false);
    FUZZ_CHECK(schema.is_object() && schema.contains("$defs"));
    return schema["$defs"];
  }();
  if (type == "workshopId" || type == "uint64" || !definitions.contains(type)) return {};
  return definitions[type]["required"].get<std::vector<std::string>>();
}

// `line` (a record without its line feed) as JSON: one line with no raw control byte, valid UTF-8
// and valid JSON (the parser checks both), one object whose keys are those of its kind, in order.
inline nlohmann::ordered_json parse_record(std::string_view line) {
  for (const char c : line) FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20);
  nlohmann::ordered_json record = nlohmann::ordered_json::parse(line, nullptr, /*allow_exceptions=*/false);
  FUZZ_CHECK(record.is_object());
  FUZZ_CHECK(record.contains("type") && record["type"].is_string());
  std::vector<std::string> keys;
  for (const auto& member : record.items()) keys.push_back(member.key());
  FUZZ_CHECK(keys == record_keys(record["type"].get<std::string>()));
  // Written again in compact form with raw UTF-8, it gives back the very bytes: the escaping, the
  // integers and the spacing are the one canonical form.
  FUZZ_CHECK(record.dump() == line);
  return record;
}

}  // namespace quennet::fuzz
