// The state file's format, in both directions: written from the world's items, read back into
// items that lay over the next run's scenario, and numbered, so that a file of another format is
// refused rather than misread.
#include "sim/state_file.h"

#include <algorithm>
#include <limits>

#include "nlohmann/json.hpp"

#include "sim/json_fields.h"
#include "sim/whole_file.h"

namespace steam_sim {

namespace {

// The format number written in the file and required when reading it.
constexpr int STATE_FORMAT = 1;

// Written with its keys in order, for a file that a person may read.
using WrittenJson = nlohmann::ordered_json;
using json_fields::refuse;
using json_fields::Fields;
using json_fields::Json;
using json_fields::unsigned_number;

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
    (void)WrittenJson(bytes).dump();
    return true;
  } catch (const WrittenJson::exception&) {
    return false;
  }
}

// A folder is bytes: kept as text when it is UTF-8, as hexadecimal otherwise.
WrittenJson install_json(const ScriptedInstall& install) {
  WrittenJson object = WrittenJson::object();
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

// An item of a state file: its world as a scenario gives it, written out in full (the id as a
// string, the state, a folder of its own), and how far a running download had gone.
ItemScenario read_saved_item(const Json& value, const std::string& path) {
  const Fields fields(value, path,
                      {"id", "state", "install", "downloadInfo", "acceptDownload", "downloadPasses",
                       "queuePlace"});
  const Json* id = fields.get("id");
  if (id == nullptr || !id->is_string()) refuse(fields.path_of("id"), "expected a string of digits");
  if (!fields.get("state")) refuse(path, "\"state\" is missing");
  const Json* install = fields.get("install");
  if (install != nullptr && install->is_object() && !install->contains("folder") &&
      !install->contains("folderBytes") && !install->contains("folderFill")) {
    refuse(fields.path_of("install"), "\"folder\" is missing");
  }
  ItemScenario item;
  json_fields::read_item_facts(fields, item);
  if (const Json* passes = fields.get("downloadPasses")) {
    item.download_passes = unsigned_number(*passes, fields.path_of("downloadPasses"), 0,
                                           std::numeric_limits<std::uint64_t>::max());
  }
  if (const Json* place = fields.get("queuePlace")) {
    item.queue_place = static_cast<std::uint32_t>(
        unsigned_number(*place, fields.path_of("queuePlace"), 0, UINT32_MAX));
  }
  return item;
}

}  // namespace

std::string state_json(const std::vector<ItemScenario>& items) {
  WrittenJson list = WrittenJson::array();
  for (const ItemScenario& each : items) {
    const ItemScenario item = as_left_after_exit(each);
    const ItemFacts& facts = item.facts;
    WrittenJson object = {{"id", std::to_string(item.id)}, {"state", facts.state}};
    object["install"] = facts.install ? install_json(*facts.install) : WrittenJson(nullptr);
    object["downloadInfo"] = facts.download_info
                                 ? WrittenJson{{"done", facts.download_info->done},
                                               {"total", facts.download_info->total}}
                                 : WrittenJson(nullptr);
    object["acceptDownload"] = facts.accept_download;
    if (item.download_passes) object["downloadPasses"] = *item.download_passes;
    if (item.queue_place) object["queuePlace"] = *item.queue_place;
    list.push_back(std::move(object));
  }
  return WrittenJson{{"steamSimState", STATE_FORMAT}, {"items", std::move(list)}}.dump(1) + "\n";
}

std::string parse_state(std::string_view json, std::vector<ItemScenario>& items) {
  try {
    const Json document = Json::parse(json.begin(), json.end());
    const Fields fields(document, "state", {"steamSimState", "items"});
    const Json* format = fields.get("steamSimState");
    if (format == nullptr || *format != STATE_FORMAT) {
      refuse(fields.path_of("steamSimState"), "expected " + std::to_string(STATE_FORMAT));
    }
    const Json* list = fields.get("items");
    if (list == nullptr || !list->is_array()) refuse(fields.path_of("items"), "expected a list");
    items.clear();
    for (std::size_t i = 0; i < list->size(); ++i) {
      items.push_back(read_saved_item((*list)[i], "items[" + std::to_string(i) + "]"));
    }
    return "";
  } catch (const json_fields::JsonFieldError& error) {
    return json_fields::one_line(error.message);
  } catch (const Json::exception& error) {
    return json_fields::one_line(std::string("not JSON: ") + error.what());
  }
}

std::string load_state(StateFile& file, Scenario& scenario) {
  std::string error;
  file.lock = os::lock_file(file.path + ".lock", error);
  if (!file.lock) return "cannot lock state file " + file.path + ".lock: " + error;

  std::string json;
  bool missing = false;
  error = read_whole_file(file.path, json, &missing);
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
