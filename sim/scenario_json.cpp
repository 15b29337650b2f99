// Reads a scenario from JSON: its keys, their defaults and how they fit together. The readers of
// single values, and of the item keys that the state file shares, are in json_fields.h.
#include "sim/scenario_json.h"

#include <algorithm>
#include <set>

#include "sim/json_fields.h"
#include "sim/os.h"
#include "sim/records.h"
#include "steam/library.h"

namespace steam_sim {

namespace {

using json_fields::array;
using json_fields::boolean;
using json_fields::refuse;
using json_fields::Fields;
using json_fields::hex_bytes;
using json_fields::id_number;
using json_fields::Json;
using json_fields::signed_number;
using json_fields::text;
using json_fields::unsigned_number;

// The largest message size a scenario may announce: the sim backs it with real memory.
constexpr std::int32_t MAX_MESSAGE_SIZE = 1 << 20;

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
  if (!unsubscribe && fields.get("removedAtExit")) refuse(path, "unknown key \"removedAtExit\"");
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
    step.install = json_fields::read_optional_install(*install, fields.path_of("install"), item);
  }
  if (const Json* info = fields.get("downloadInfo")) {
    step.download_info = json_fields::read_optional_download_info(*info, fields.path_of("downloadInfo"));
  }
  if (const Json* accept = fields.get("acceptDownload")) {
    step.accept_download = boolean(*accept, fields.path_of("acceptDownload"));
  }
  return step;
}

ItemScenario read_item(const Json& value, const std::string& path) {
  const Fields fields(value, path,
                      {"id", "state", "install", "downloadInfo", "acceptDownload", "download",
                       "subscribe", "unsubscribe", "script"});
  ItemScenario item;
  json_fields::read_item_facts(fields, item);
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
    refuse(path,
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
    if (!fields.get("id")) refuse(path, "missing \"id\"");
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
  if (!quit_fields.get("pass")) refuse(quit_fields.path(), "missing \"pass\"");
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
      refuse(print_fields.path_of("during"), "expected \"SteamAPI_InitFlat\"");
    }
    if (!during == !print_fields.get("pass")) {
      refuse(print_fields.path(), "give either \"pass\" or \"during\"");
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
  if (!fields.get("call")) refuse(path, "missing \"call\"");
  call.function = text(*fields.get("call"), fields.path_of("call"));
  const std::string_view functions[] = {
#define QUENNET_STEAM_NAME(name) #name,
      QUENNET_STEAM_FUNCTIONS(QUENNET_STEAM_NAME)
#undef QUENNET_STEAM_NAME
  };
  if (std::find(std::begin(functions), std::end(functions), call.function) == std::end(functions)) {
    refuse(fields.path_of("call"), "\"" + call.function + "\" is not a function of the library");
  }
  fields.unsigned_int("fromPass", call.from_pass);
  fields.unsigned_int("ms", call.ms);
  fields.flag("forever", call.forever);
  if (call.forever && fields.get("ms")) refuse(path, "give either \"ms\" or \"forever\"");
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
        refuse(account_fields.path(), "give either \"persona\" or \"personaBytes\"");
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
        refuse(path + ".id", std::to_string(scenario.items.back().id) + " is listed twice");
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

}  // namespace

std::string parse_scenario(std::string_view json, Scenario& scenario) {
  try {
    // Comments are allowed: hand-written scenarios deserve them.
    const Json document = Json::parse(json.begin(), json.end(), nullptr, true, true);
    scenario = read_scenario(document);
    return "";
  } catch (const json_fields::JsonFieldError& error) {
    return json_fields::one_line(error.message);
  } catch (const std::exception& error) {
    return json_fields::one_line(error.what());
  }
}

}  // namespace steam_sim
