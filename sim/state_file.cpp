#include "sim/state_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "nlohmann/json.hpp"

namespace steam_sim {

namespace {

using Json = nlohmann::ordered_json;

constexpr int FORMAT = 1;

struct StateError {
  std::string message;
};

[[noreturn]] void fail(const std::string& where, const std::string& problem) {
  throw StateError{where + ": " + problem};
}

// Only the keys in `known` may appear in `object`.
void check_keys(const Json& object, const std::string& where,
                std::initializer_list<std::string_view> known) {
  if (!object.is_object()) fail(where, "expected an object");
  for (const auto& member : object.items()) {
    if (std::find(known.begin(), known.end(), member.key()) == known.end())
      fail(where, "unknown key \"" + member.key() + "\"");
  }
}

std::uint64_t number(const Json& object, const char* key, const std::string& where,
                     std::uint64_t max) {
  const auto member = object.find(key);
  if (member == object.end()) fail(where, "\"" + std::string(key) + "\" is missing");
  if (!member->is_number_unsigned() || member->get<std::uint64_t>() > max)
    fail(where + "." + key, "expected a whole number from 0 to " + std::to_string(max));
  return member->get<std::uint64_t>();
}

// Item ids are written as strings of digits: many JSON readers cannot hold them as numbers.
std::uint64_t id_number(const Json& value, const std::string& where) {
  std::uint64_t id = 0;
  if (value.is_string()) {
    const auto& digits = value.get_ref<const std::string&>();
    const char* end = digits.data() + digits.size();
    const bool all_digits = !digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) {
      return c >= '0' && c <= '9';
    });
    if (all_digits && std::from_chars(digits.data(), end, id).ptr == end) return id;
  }
  fail(where, "expected a string of digits");
}

std::string hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (const char c : bytes) {
    text.push_back(digits[static_cast<unsigned char>(c) >> 4]);
    text.push_back(digits[static_cast<unsigned char>(c) & 15]);
  }
  return text;
}

std::string unhex(const Json& value, const std::string& where) {
  auto digit = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  if (!value.is_string() || value.get_ref<const std::string&>().size() % 2 != 0)
    fail(where, "expected hexadecimal bytes");
  const auto& text = value.get_ref<const std::string&>();
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = digit(text[i]);
    const int low = digit(text[i + 1]);
    if (high < 0 || low < 0) fail(where, "expected hexadecimal bytes");
    bytes.push_back(static_cast<char>(high * 16 + low));
  }
  return bytes;
}

bool is_utf8(const std::string& bytes) {
  try {
    (void)Json(bytes).dump();
    return true;
  } catch (const Json::exception&) {
    return false;
  }
}

// A folder is bytes: kept as text when it is UTF-8, as hexadecimal otherwise.
Json install_json(const InstallInfo& install) {
  Json object = Json::object();
  if (install.fill) {
    object["folderFill"] = static_cast<unsigned char>(*install.fill);
  } else if (is_utf8(install.folder)) {
    object["folder"] = install.folder;
  } else {
    object["folderBytes"] = hex(install.folder);
  }
  object["size"] = install.size;
  object["timestamp"] = install.timestamp;
  return object;
}

InstallInfo read_install(const Json& object, const std::string& where) {
  check_keys(object, where, {"folder", "folderBytes", "folderFill", "size", "timestamp"});
  InstallInfo install;
  if (object.contains("folder")) {
    if (!object["folder"].is_string()) fail(where + ".folder", "expected a string");
    install.folder = object["folder"].get<std::string>();
  } else if (object.contains("folderFill")) {
    install.fill = static_cast<char>(number(object, "folderFill", where, 255));
  } else if (object.contains("folderBytes")) {
    install.folder = unhex(object["folderBytes"], where + ".folderBytes");
  } else {
    fail(where, "\"folder\" is missing");
  }
  install.size = number(object, "size", where, UINT64_MAX);
  install.timestamp = static_cast<std::uint32_t>(number(object, "timestamp", where, UINT32_MAX));
  return install;
}

ItemScenario read_item(const Json& object, const std::string& where) {
  check_keys(object, where,
             {"id", "state", "install", "downloadInfo", "acceptDownload", "downloadPasses"});
  ItemScenario item;
  if (!object.contains("id")) fail(where, "\"id\" is missing");
  item.id = id_number(object["id"], where + ".id");
  item.state = static_cast<std::uint32_t>(number(object, "state", where, UINT32_MAX));
  if (object.contains("install") && !object["install"].is_null())
    item.install = read_install(object["install"], where + ".install");
  if (object.contains("downloadInfo") && !object["downloadInfo"].is_null()) {
    const Json& info = object["downloadInfo"];
    check_keys(info, where + ".downloadInfo", {"done", "total"});
    item.download_info = DownloadInfo{number(info, "done", where + ".downloadInfo", UINT64_MAX),
                                      number(info, "total", where + ".downloadInfo", UINT64_MAX)};
  }
  if (object.contains("acceptDownload")) {
    if (!object["acceptDownload"].is_boolean())
      fail(where + ".acceptDownload", "expected true or false");
    item.accept_download = object["acceptDownload"].get<bool>();
  }
  if (object.contains("downloadPasses"))
    item.download_passes = number(object, "downloadPasses", where, UINT64_MAX);
  return item;
}

// Steam deletes the files of an item that is no longer subscribed once the game has quit, and
// quennet has quit by the time the world is saved.
ItemScenario as_left_after_exit(ItemScenario item) {
  if ((item.state & STATE_SUBSCRIBED) == 0 && !item.download_passes) {
    item.state = 0;
    item.install.reset();
    item.download_info.reset();
  }
  return item;
}

void lay_over(Scenario& scenario, const ItemScenario& saved) {
  auto listed = std::find_if(scenario.items.begin(), scenario.items.end(),
                             [&](const ItemScenario& item) { return item.id == saved.id; });
  if (listed == scenario.items.end()) {
    scenario.items.emplace_back();
    listed = std::prev(scenario.items.end());
    listed->id = saved.id;
  }
  listed->state = saved.state;
  listed->install = saved.install;
  listed->download_info = saved.download_info;
  listed->accept_download = saved.accept_download;
  // A download goes on only where the scenario still has a model for it.
  listed->download_passes = listed->download ? saved.download_passes : std::nullopt;
}

std::string read_whole_file(const std::string& path, std::string& contents, bool& missing) {
  const os::File file = os::open_file(path, "rb");
  if (!file) {
    missing = errno == ENOENT;
    return std::strerror(errno);
  }
  char buffer[16384];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) contents.append(buffer, got);
  if (std::ferror(file.get())) return std::strerror(errno);
  return "";
}

std::string write_whole_file(const std::string& path, const std::string& contents) {
  os::File file = os::open_file(path, "wb");
  if (!file) return std::strerror(errno);
  if (std::fwrite(contents.data(), 1, contents.size(), file.get()) != contents.size() ||
      std::fflush(file.get()) != 0)
    return std::strerror(errno);
  if (std::fclose(file.release()) != 0) return std::strerror(errno);
  return "";
}

}  // namespace

std::string state_json(const std::vector<ItemScenario>& items) {
  Json list = Json::array();
  for (const ItemScenario& each : items) {
    const ItemScenario item = as_left_after_exit(each);
    Json object = {{"id", std::to_string(item.id)}, {"state", item.state}};
    object["install"] = item.install ? install_json(*item.install) : Json(nullptr);
    object["downloadInfo"] = item.download_info ? Json{{"done", item.download_info->done},
                                                       {"total", item.download_info->total}}
                                                : Json(nullptr);
    object["acceptDownload"] = item.accept_download;
    if (item.download_passes) object["downloadPasses"] = *item.download_passes;
    list.push_back(std::move(object));
  }
  return Json{{"steamSimState", FORMAT}, {"items", std::move(list)}}.dump(1) + "\n";
}

std::string parse_state(std::string_view json, std::vector<ItemScenario>& items) {
  try {
    const Json document = Json::parse(json.begin(), json.end());
    check_keys(document, "state", {"steamSimState", "items"});
    if (!document.contains("steamSimState") || document["steamSimState"] != FORMAT)
      fail("state.steamSimState", "expected " + std::to_string(FORMAT));
    if (!document.contains("items") || !document["items"].is_array())
      fail("state.items", "expected a list");
    items.clear();
    for (std::size_t i = 0; i < document["items"].size(); ++i)
      items.push_back(read_item(document["items"][i], "items[" + std::to_string(i) + "]"));
    return "";
  } catch (const StateError& error) {
    return error.message;
  } catch (const Json::exception& error) {
    return std::string("not JSON: ") + error.what();
  }
}

std::string load_state(StateFile& file, Scenario& scenario) {
  std::string error;
  file.lock = os::lock_file(file.path + ".lock", error);
  if (!file.lock) return "cannot lock state file " + file.path + ".lock: " + error;

  std::string json;
  bool missing = false;
  error = read_whole_file(file.path, json, missing);
  if (missing) return "";  // the first run: the scenario's world
  std::vector<ItemScenario> items;
  if (error.empty()) error = parse_state(json, items);
  if (!error.empty()) {
    file.lock.reset();
    return "cannot use state file " + file.path + ": " + error;
  }
  for (const ItemScenario& item : items) lay_over(scenario, item);
  return "";
}

std::string write_state(StateFile& file, const World& world) {
  const std::string temporary = file.path + ".tmp";
  std::string error = write_whole_file(temporary, state_json(world.snapshot()));
  if (error.empty()) error = os::replace_file(temporary, file.path);
  if (!error.empty()) return "cannot save state file " + file.path + ": " + error;
  return "";
}

std::string save_state(StateFile& file, const World& world) {
  const std::string error = write_state(file, world);
  file.lock.reset();
  return error;
}

}  // namespace steam_sim
