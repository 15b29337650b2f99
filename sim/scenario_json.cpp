// Reads a scenario, and the items of a state file, from JSON. Every mistake is reported with where it is (for example
// `items[1].subscribe.afterPasses: expected a whole number from 1 to 4294967295`), and unknown keys
// are mistakes too, so that a misspelt key cannot silently fall back to a default.
#include <algorithm>
#include <charconv>
#include <initializer_list>
#include <limits>
#include <set>

#include "nlohmann/json.hpp"

#include "sim/os.h"
#include "sim/records.h"
#include "sim/scenario.h"
#include "steam/library.h"

namespace steam_sim {

namespace {

using Json = nlohmann::json;

// The largest message size a scenario may announce: the sim backs it with real memory.
constexpr std::int32_t MAX_MESSAGE_SIZE = 1 << 20;

struct ScenarioError {
  std::string message;
};

// `path` names the place in the document, "" being the document itself.
[[noreturn]] void fail(const std::string& path, const std::string& problem) {
  throw ScenarioError{(path.empty() ? std::string("scenario") : path) + ": " + problem};
}

std::uint64_t unsigned_number(const Json& value, const std::string& path, std::uint64_t min,
                              std::uint64_t max) {
  if (value.is_number_unsigned()) {
    const auto number = value.get<std::uint64_t>();
    if (number >= min && number <= max) return number;
  }
  fail(path, "expected a whole number from " + std::to_string(min) + " to " + std::to_string(max));
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
  fail(path, "expected a whole number from " + std::to_string(min) + " to " + std::to_string(max));
}

// Ids, Steam IDs and handles: a number, or a string of digits for values past 2^53 that some JSON
// writers cannot hold exactly.
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
  fail(path, "expected a string of digits or a whole number from 0 to 18446744073709551615");
}

// The failures that hosts meet in practice, by name, so that a scenario reads as what happens.
struct NamedResult {
  std::string_view name;
  std::int32_t code;
};
constexpr NamedResult NAMED_RESULTS[] = {
    {"generic", 2}, {"deleted", 9}, {"private", 15}, {"diskWriteFailure", 37}, {"diskFull", 54}};

std::int32_t result_code(const Json& value, const std::string& path) {
  if (!value.is_string()) {
    return static_cast<std::int32_t>(signed_number(value, path, INT32_MIN, INT32_MAX));
  }
  std::string names;
  for (const NamedResult& named : NAMED_RESULTS) {
    if (value.get_ref<const std::string&>() == named.name) return named.code;
    names += (names.empty() ? "\"" : ", \"") + std::string(named.name) + "\"";
  }
  fail(path, "expected a result code or one of " + names);
}

bool boolean(const Json& value, const std::string& path) {
  if (!value.is_boolean()) fail(path, "expected true or false");
  return value.get<bool>();
}

const std::string& text(const Json& value, const std::string& path) {
  if (!value.is_string()) fail(path, "expected a string");
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
  if (hex.size() % 2 != 0) fail(path, "expected hexadecimal bytes (an even number of digits)");
  std::string bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = digit(hex[i]);
    const int low = digit(hex[i + 1]);
    if (high < 0 || low < 0) fail(path, "expected hexadecimal bytes, found \"" + hex + "\"");
    bytes.push_back(static_cast<char>(high * 16 + low));
  }
  return bytes;
}

// One JSON object of the scenario: checks its keys on construction and reads its members.
class Fields {
 public:
  Fields(const Json& object, std::string path, std::initializer_list<std::string_view> known)
      : object_(object), path_(std::move(path)) {
    if (!object.is_object()) fail(path_, "expected an object");
    for (const auto& member : object.items()) {
      if (std::find(known.begin(), known.end(), member.key()) == known.end()) {
        fail(path_, "unknown key \"" + member.key() + "\"");
      }
    }
  }

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
  bool bytes(const char* key, std::string& target) const {
    const std::string hex_key = std::string(key) + "Bytes";
    const Json* plain = get(key);
    const Json* hex = get(hex_key.c_str());
    if (plain && hex)
      fail(path_, "give either \"" + std::string(key) + "\" or \"" + hex_key + "\"");
    if (plain) target = text(*plain, path_of(key));
    if (hex) target = hex_bytes(*hex, path_of(hex_key));
    return plain || hex;
  }

 private:
  const Json& object_;
  std::string path_;
};

// Without a folder of its own, an item is installed where this OS's Steam client would put it.
ScriptedInstall read_install(const Json& value, const std::string& path, PublishedFileId_t item) {
  const Fields fields(value, path, {"folder", "folderBytes", "folderFill", "size", "timestamp"});
  ScriptedInstall install;
  const bool has_folder = fields.bytes("folder", install.folder);
  if (const Json* fill = fields.get("folderFill")) {
    if (has_folder) fail(path, "give only one of \"folder\", \"folderBytes\" and \"folderFill\"");
    const std::string& character = text(*fill, fields.path_of("folderFill"));
    if (character.size() != 1) fail(fields.path_of("folderFill"), "expected a one-byte character");
    install.fill = character[0];
  } else if (!has_folder) {
    install.folder = os::default_item_folder(item);
  }
  fields.unsigned_int("size", install.size);
  fields.unsigned_int("timestamp", install.timestamp);
  return install;
}

// "install" in an item or a script step: an object, or null for none.
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

DownloadModel read_download(const Json& value, const std::string& path, PublishedFileId_t item) {
  const Fields fields(value, path,
                      {"size", "step", "everyPasses", "folder", "folderBytes", "failAtPass",
                       "failResult", "failAppId"});
  DownloadModel model;
  fields.unsigned_int("size", model.size);
  model.step = model.size;
  fields.unsigned_int("step", model.step);
  fields.unsigned_int("everyPasses", model.every_passes, 1);
  if (!fields.bytes("folder", model.folder)) model.folder = os::default_item_folder(item);
  fields.unsigned_int("failAtPass", model.fail_at_pass);
  fields.result("failResult", model.fail_result);
  fields.unsigned_int("failAppId", model.fail_app_id);
  return model;
}

ScriptedOutcome read_outcome(const Json& value, const std::string& path, bool unsubscribe) {
  const Fields fields(value, path,
                      {"result", "afterPasses", "ioFailure", "never", "fetchFails", "handle",
                       "resultSize", "removedAtExit"});
  // Only an unsubscribe can wait for the game to quit.
  if (!unsubscribe && fields.get("removedAtExit")) fail(path, "unknown key \"removedAtExit\"");
  ScriptedOutcome outcome;
  fields.result("result", outcome.result);
  fields.flag("removedAtExit", outcome.removed_at_exit);
  fields.unsigned_int("afterPasses", outcome.after_passes, 1);
  fields.flag("ioFailure", outcome.io_failure);
  fields.flag("never", outcome.never);
  fields.flag("fetchFails", outcome.fetch_fails);
  if (const Json* handle = fields.get("handle")) {
    outcome.handle = id_number(*handle, fields.path_of("handle"));
  }
  if (const Json* size = fields.get("resultSize")) {
    outcome.result_size = static_cast<std::uint32_t>(
        unsigned_number(*size, fields.path_of("resultSize"), 0, UINT32_MAX));
  }
  return outcome;
}

ScriptStep read_script_step(const Json& value, const std::string& path, PublishedFileId_t item) {
  const Fields fields(value, path, {"pass", "state", "install", "downloadInfo", "acceptDownload"});
  ScriptStep step;
  fields.unsigned_int("pass", step.pass, 1);
  if (const Json* state = fields.get("state")) {
    step.state =
        static_cast<std::uint32_t>(unsigned_number(*state, fields.path_of("state"), 0, UINT32_MAX));
  }
  if (const Json* install = fields.get("install")) {
    step.install = read_optional_install(*install, fields.path_of("install"), item);
  }
  if (const Json* info = fields.get("downloadInfo")) {
    step.download_info = read_optional_download_info(*info, fields.path_of("downloadInfo"));
  }
  if (const Json* accept = fields.get("acceptDownload")) {
    step.accept_download = boolean(*accept, fields.path_of("acceptDownload"));
  }
  return step;
}

const Json& array(const Json& value, const std::string& path) {
  if (!value.is_array()) fail(path, "expected an array");
  return value;
}

// The keys of an item's world, which a scenario and a state file share.
void read_item_world(const Fields& fields, ItemScenario& item) {
  // Every other key has a default; an item without an id is surely a mistake.
  if (!fields.get("id")) fail(fields.path(), "missing \"id\"");
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

ItemScenario read_item(const Json& value, const std::string& path) {
  const Fields fields(value, path,
                      {"id", "state", "install", "downloadInfo", "acceptDownload", "download",
                       "subscribe", "unsubscribe", "script"});
  ItemScenario item;
  read_item_world(fields, item);
  if (const Json* download = fields.get("download")) {
    item.download = read_download(*download, fields.path_of("download"), item.id);
  }
  if (const Json* subscribe = fields.get("subscribe")) {
    item.subscribe = read_outcome(*subscribe, fields.path_of("subscribe"), false);
  }
  if (const Json* unsubscribe = fields.get("unsubscribe")) {
    item.unsubscribe = read_outcome(*unsubscribe, fields.path_of("unsubscribe"), true);
  }
  if (const Json* script = fields.get("script")) {
    const std::string script_path = fields.path_of("script");
    for (std::size_t i = 0; i < array(*script, script_path).size(); ++i) {
      item.script.push_back(
          read_script_step((*script)[i], script_path + "[" + std::to_string(i) + "]", item.id));
    }
  }
  return item;
}

// A callback message: either raw bytes, or one of the two notices laid out for this OS.
ScheduledMessage read_callback(const Json& value, const std::string& path) {
  const Fields fields(value, path,
                      {"pass", "id", "bytes", "appId", "item", "result", "handle", "resultId",
                       "resultSize", "size", "null"});
  ScheduledMessage message;
  fields.unsigned_int("pass", message.pass, 1);

  const bool raw = fields.get("bytes");
  const bool download = fields.get("appId") || fields.get("item") || fields.get("result");
  const bool completed = fields.get("handle") || fields.get("resultId") || fields.get("resultSize");
  if (raw + download + completed > 1) {
    fail(path,
         "mixes the keys of different messages (\"bytes\"; \"appId\", \"item\", \"result\"; "
         "\"handle\", \"resultId\", \"resultSize\")");
  }
  if (download) {
    std::uint32_t app_id = DAYZ_APP_ID;
    std::uint64_t item = 0;
    std::int32_t result = 1;
    fields.unsigned_int("appId", app_id);
    fields.id("item", item);
    fields.result("result", result);
    message.id = DOWNLOAD_RESULT_ID;
    message.data = download_result_notice(app_id, item, result);
  } else if (completed) {
    std::uint64_t handle = 0;
    std::int32_t result_id = 0;
    std::uint32_t result_size = 0;
    fields.id("handle", handle);
    fields.signed_int("resultId", result_id);
    fields.unsigned_int("resultSize", result_size);
    message.id = CALL_COMPLETED_ID;
    message.data = call_completed_notice(handle, result_id, result_size);
  } else {
    if (!fields.get("id")) fail(path, "missing \"id\"");
    if (raw) message.data = hex_bytes(*fields.get("bytes"), fields.path_of("bytes"));
  }
  fields.signed_int("id", message.id);
  if (const Json* size = fields.get("size")) {
    message.size = static_cast<std::int32_t>(
        signed_number(*size, fields.path_of("size"), INT32_MIN, MAX_MESSAGE_SIZE));
  }
  fields.flag("null", message.null_data);
  return message;
}

// "steamQuits": {"pass": N, "crash": false}, or null for never.
void read_steam_quits(const Fields& fields, Scenario& scenario) {
  const Json* value = fields.get("steamQuits");
  if (!value || value->is_null()) return;
  const Fields quit_fields(*value, fields.path_of("steamQuits"), {"pass", "crash"});
  if (!quit_fields.get("pass")) fail(quit_fields.path(), "missing \"pass\"");
  SteamQuit quit;
  quit_fields.unsigned_int("pass", quit.pass, 1);
  quit_fields.flag("crash", quit.crash);
  scenario.quit = quit;
}

// "prints": [{"pass": N or "during": "SteamAPI_InitFlat", "stdout": text, "stderr": text}], each
// text also as hexadecimal under "stdoutBytes" or "stderrBytes".
void read_prints(const Fields& fields, Scenario& scenario) {
  const Json* list = fields.get("prints");
  if (!list) return;
  for (std::size_t i = 0; i < array(*list, "prints").size(); ++i) {
    const Fields print_fields((*list)[i], "prints[" + std::to_string(i) + "]",
                              {"pass", "during", "stdout", "stdoutBytes", "stderr", "stderrBytes"});
    ScheduledPrint print;
    const Json* during = print_fields.get("during");
    if (during && text(*during, print_fields.path_of("during")) != "SteamAPI_InitFlat") {
      fail(print_fields.path_of("during"), "expected \"SteamAPI_InitFlat\"");
    }
    if (!during == !print_fields.get("pass")) {
      fail(print_fields.path(), "give either \"pass\" or \"during\"");
    }
    if (!during) {
      std::uint32_t pass = 1;
      print_fields.unsigned_int("pass", pass, 1);
      print.pass = pass;
    }
    print_fields.bytes("stdout", print.stdout_bytes);
    print_fields.bytes("stderr", print.stderr_bytes);
    scenario.prints.push_back(std::move(print));
  }
}

BlockingCall read_blocking_call(const Json& value, const std::string& path) {
  const Fields fields(value, path, {"call", "fromPass", "ms", "forever"});
  BlockingCall call;
  if (!fields.get("call")) fail(path, "missing \"call\"");
  call.function = text(*fields.get("call"), fields.path_of("call"));
  const std::string_view functions[] = {
#define QUENNET_STEAM_NAME(name) #name,
      QUENNET_STEAM_FUNCTIONS(QUENNET_STEAM_NAME)
#undef QUENNET_STEAM_NAME
  };
  if (std::find(std::begin(functions), std::end(functions), call.function) == std::end(functions)) {
    fail(fields.path_of("call"), "\"" + call.function + "\" is not a function of the library");
  }
  fields.unsigned_int("fromPass", call.from_pass);
  fields.unsigned_int("ms", call.ms);
  fields.flag("forever", call.forever);
  if (call.forever && fields.get("ms")) fail(path, "give either \"ms\" or \"forever\"");
  return call;
}

Scenario read_scenario(const Json& document) {
  const Fields fields(document, "",
                      {"init", "account", "interfaces", "pipe", "items", "callbacks", "steamQuits",
                       "prints", "downloadQueue", "offline", "blockingCalls"});
  Scenario scenario;
  if (const Json* init = fields.get("init")) {
    const Fields init_fields(*init, fields.path_of("init"), {"result", "message", "messageBytes"});
    init_fields.signed_int("result", scenario.init_result);
    init_fields.bytes("message", scenario.init_message);
  }
  if (const Json* account = fields.get("account")) {
    const Fields account_fields(*account, fields.path_of("account"),
                                {"steamId", "persona", "personaBytes"});
    account_fields.id("steamId", scenario.steam_id);
    const Json* persona = account_fields.get("persona");
    if (persona && persona->is_null()) {
      if (account_fields.get("personaBytes")) {
        fail(account_fields.path(), "give either \"persona\" or \"personaBytes\"");
      }
      scenario.persona.reset();
    } else {
      std::string bytes;
      if (account_fields.bytes("persona", bytes)) scenario.persona = bytes;
    }
  }
  if (const Json* interfaces = fields.get("interfaces")) {
    const Fields interface_fields(*interfaces, fields.path_of("interfaces"),
                                  {"ugc", "user", "friends"});
    interface_fields.flag("ugc", scenario.ugc);
    interface_fields.flag("user", scenario.user);
    interface_fields.flag("friends", scenario.friends);
  }
  fields.signed_int("pipe", scenario.pipe);
  fields.flag("downloadQueue", scenario.download_queue);
  fields.flag("offline", scenario.offline);
  if (const Json* calls = fields.get("blockingCalls")) {
    for (std::size_t i = 0; i < array(*calls, "blockingCalls").size(); ++i) {
      scenario.blocking_calls.push_back(
          read_blocking_call((*calls)[i], "blockingCalls[" + std::to_string(i) + "]"));
    }
  }

  if (const Json* items = fields.get("items")) {
    std::set<PublishedFileId_t> seen;
    for (std::size_t i = 0; i < array(*items, "items").size(); ++i) {
      const std::string path = "items[" + std::to_string(i) + "]";
      scenario.items.push_back(read_item((*items)[i], path));
      if (!seen.insert(scenario.items.back().id).second) {
        fail(path + ".id", std::to_string(scenario.items.back().id) + " is listed twice");
      }
    }
  }
  if (const Json* callbacks = fields.get("callbacks")) {
    for (std::size_t i = 0; i < array(*callbacks, "callbacks").size(); ++i) {
      scenario.callbacks.push_back(
          read_callback((*callbacks)[i], "callbacks[" + std::to_string(i) + "]"));
    }
  }
  read_steam_quits(fields, scenario);
  read_prints(fields, scenario);
  return scenario;
}

// An item of a state file: its world as a scenario gives it, written out in full (the id as a
// string, the state, a folder of its own), and how far a running download had gone.
ItemScenario read_saved_item(const Json& value, const std::string& path) {
  const Fields fields(value, path,
                      {"id", "state", "install", "downloadInfo", "acceptDownload", "downloadPasses",
                       "queuePlace"});
  const Json* id = fields.get("id");
  if (id == nullptr || !id->is_string()) fail(fields.path_of("id"), "expected a string of digits");
  if (!fields.get("state")) fail(path, "\"state\" is missing");
  const Json* install = fields.get("install");
  if (install != nullptr && install->is_object() && !install->contains("folder") &&
      !install->contains("folderBytes") && !install->contains("folderFill")) {
    fail(fields.path_of("install"), "\"folder\" is missing");
  }
  ItemScenario item;
  read_item_world(fields, item);
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

// Error texts go into a one-line message and a one-line log entry.
std::string one_line(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  return text;
}

}  // namespace

std::string parse_scenario(std::string_view json, Scenario& scenario) {
  try {
    // Comments are allowed: hand-written scenarios deserve them.
    const Json document = Json::parse(json.begin(), json.end(), nullptr, true, true);
    scenario = read_scenario(document);
    return "";
  } catch (const ScenarioError& error) {
    return one_line(error.message);
  } catch (const std::exception& error) {
    return one_line(error.what());
  }
}

std::string parse_state(std::string_view json, std::vector<ItemScenario>& items) {
  try {
    const Json document = Json::parse(json.begin(), json.end());
    const Fields fields(document, "state", {"steamSimState", "items"});
    const Json* format = fields.get("steamSimState");
    if (format == nullptr || *format != STATE_FORMAT) {
      fail(fields.path_of("steamSimState"), "expected " + std::to_string(STATE_FORMAT));
    }
    const Json* list = fields.get("items");
    if (list == nullptr || !list->is_array()) fail(fields.path_of("items"), "expected a list");
    items.clear();
    for (std::size_t i = 0; i < list->size(); ++i) {
      items.push_back(read_saved_item((*list)[i], "items[" + std::to_string(i) + "]"));
    }
    return "";
  } catch (const ScenarioError& error) {
    return one_line(error.message);
  } catch (const Json::exception& error) {
    return one_line(std::string("not JSON: ") + error.what());
  }
}

}  // namespace steam_sim
