#include "sim/state_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "nlohmann/json.hpp"

namespace steam_sim {

namespace {

using Json = nlohmann::ordered_json;

std::string hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (const char c : bytes) {
    text.push_back(digits[static_cast<unsigned char>(c) >> 4]);
    text.push_back(digits[static_cast<unsigned char>(c) & 15]);
  }
  return text;
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
Json install_json(const ScriptedInstall& install) {
  Json object = Json::object();
  if (install.fill) {
    object["folderFill"] = std::string(1, *install.fill);  // a scenario's one-byte character
  } else if (is_utf8(install.folder)) {
    object["folder"] = install.folder;
  } else {
    object["folderBytes"] = hex(install.folder);
  }
  object["size"] = install.size;
  object["timestamp"] = install.timestamp;
  return object;
}

// Steam deletes the files of an item that is no longer subscribed once the game has quit, and
// quennet has quit by the time the world is saved.
ItemScenario as_left_after_exit(ItemScenario item) {
  if ((item.facts.state & STATE_SUBSCRIBED) == 0 && !item.download_passes) item.facts = ItemFacts{};
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
  listed->facts = saved.facts;
  // A download goes on only where the scenario still has a model for it.
  listed->download_passes = listed->download ? saved.download_passes : std::nullopt;
  listed->queue_place = saved.queue_place;
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
    const ItemFacts& facts = item.facts;
    Json object = {{"id", std::to_string(item.id)}, {"state", facts.state}};
    object["install"] = facts.install ? install_json(*facts.install) : Json(nullptr);
    object["downloadInfo"] = facts.download_info ? Json{{"done", facts.download_info->done},
                                                        {"total", facts.download_info->total}}
                                                 : Json(nullptr);
    object["acceptDownload"] = facts.accept_download;
    if (item.download_passes) object["downloadPasses"] = *item.download_passes;
    if (item.queue_place) object["queuePlace"] = *item.queue_place;
    list.push_back(std::move(object));
  }
  return Json{{"steamSimState", STATE_FORMAT}, {"items", std::move(list)}}.dump(1) + "\n";
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
