// The Steam library's flat functions, played against the simulated world. Each one takes the lock,
// starts the sim on first use, checks that the caller may make the call (logging misuse and
// answering harmlessly when not), asks the world, and logs the call with its result.
#include "steam/flat_api.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <string>
#include <thread>

#include "sim/os.h"
#include "sim/sim.h"

using namespace steam_sim;

namespace {

// Logs the exception being handled. Called from a catch block; throws nothing itself.
void log_internal_error(Sim& sim) noexcept {
  try {
    std::string what = "unknown exception";
    try {
      throw;
    } catch (const std::exception& exception) {
      what = exception.what();
    } catch (...) {
    }
    sim.log.line(INTERNAL_ERROR_PREFIX + what);
  } catch (...) {
  }
}

// Runs `body` on the sim under its lock. No exception may reach the caller, who is C code as far
// as it knows: an internal error is logged and the call answers `fallback`.
template <typename Result, typename Body>
Result guarded(Result fallback, Body body) {
  std::lock_guard<std::mutex> hold(sim_mutex());
  Sim& sim = the_sim();
  try {
    if (!sim.started) start(sim);
    return body(sim);
  } catch (...) {
    log_internal_error(sim);
  }
  return fallback;
}

template <typename Body>
void guarded(Body body) {
  guarded(0, [&](Sim& sim) {
    body(sim);
    return 0;
  });
}

std::string text(bool value) { return value ? "true" : "false"; }

// An environment value for the log: control bytes and backslashes escaped, so a line stays a line.
std::string environment_text(const char* name) {
  const std::optional<std::string> value = os::environment_variable(name);
  if (!value) return "<unset>";
  std::string escaped;
  for (const char c : *value) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      escaped += "\\\\";
    } else if (byte < 0x20 || byte == 0x7F) {
      const char* digits = "0123456789abcdef";
      escaped += "\\x";
      escaped += digits[byte >> 4];
      escaped += digits[byte & 0xF];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

// Makes a call of `function` wait as the scenario's blocking calls say. The RunFrame that runs a
// pass counts as a call of that pass.
void wait_if_blocking(Sim& sim, const char* function) {
  const bool runs_pass = std::strcmp(function, "SteamAPI_ManualDispatch_RunFrame") == 0;
  const std::uint64_t pass = sim.world->pass() + (runs_pass ? 1 : 0);
  for (const BlockingCall& call : sim.world->scenario().blocking_calls) {
    if (call.function != function || pass < call.from_pass) continue;
    do {
      std::this_thread::sleep_for(std::chrono::milliseconds(call.forever ? 60000 : call.ms));
    } while (call.forever);
  }
}

// Whether the library is initialised and not yet shut down; logs misuse by `function` otherwise.
// Every call but SteamAPI_InitFlat asks this first, and so first waits where the scenario says.
bool running(Sim& sim, const char* function) {
  wait_if_blocking(sim, function);
  switch (sim.phase) {
    case Phase::Running:
      return true;
    case Phase::ShutDown:
      sim.log.misuse(std::string(function) + " after SteamAPI_Shutdown");
      return false;
    case Phase::BeforeInit:
    case Phase::InitFailed:
      break;
  }
  sim.log.misuse(std::string(function) + " before a successful SteamAPI_InitFlat");
  return false;
}

// Whether a manual-dispatch call on `pipe` may go ahead; logs misuse otherwise.
bool dispatching(Sim& sim, const char* function, HSteamPipe pipe) {
  if (!running(sim, function)) return false;
  if (!sim.manual_dispatch) {
    sim.log.misuse(std::string(function) + " before SteamAPI_ManualDispatch_Init");
    return false;
  }
  const HSteamPipe ours = sim.world->scenario().pipe;
  if (pipe != ours) {
    sim.log.misuse(std::string(function) + " with pipe " + std::to_string(pipe) +
                   ", not the pipe " + std::to_string(ours) +
                   " that SteamAPI_GetHSteamPipe returns");
    return false;
  }
  return true;
}

// The interface objects are only ever compared by address.
unsigned char ugc_tag;
unsigned char user_tag;
unsigned char friends_tag;
SteamUGCObject* const UGC = reinterpret_cast<SteamUGCObject*>(&ugc_tag);
SteamUserObject* const USER = reinterpret_cast<SteamUserObject*>(&user_tag);
SteamFriendsObject* const FRIENDS = reinterpret_cast<SteamFriendsObject*>(&friends_tag);

// Whether a call through interface `given` may go ahead: the library is running and `given` is
// what `accessor` returned. Logs misuse otherwise.
template <typename Object>
bool through(Sim& sim, const char* function, Object* given, Object* ours, bool enabled,
             const char* accessor) {
  if (!running(sim, function)) return false;
  if (given == ours && enabled) return true;
  if (given == nullptr) {
    sim.log.misuse(std::string(function) + " with a null interface");
  } else {
    sim.log.misuse(std::string(function) + " with an interface that " + accessor +
                   " did not return");
  }
  return false;
}

bool through_ugc(Sim& sim, const char* function, SteamUGCObject* ugc) {
  return through(sim, function, ugc, UGC, sim.world->scenario().ugc, "SteamAPI_SteamUGC_v021");
}

void write_folder(const ScriptedInstall& install, char* folder, std::uint32_t size) {
  if (size == 0) return;
  if (install.fill) {
    std::memset(folder, *install.fill, size);
    return;
  }
  const std::size_t copied = std::min<std::size_t>(install.folder.size(), size);
  std::memcpy(folder, install.folder.data(), copied);
  if (copied < size) folder[copied] = '\0';
}

// The scenario's prints that fall at `pass`; nothing: those during SteamAPI_InitFlat.
void print_due(const Scenario& scenario, std::optional<std::uint64_t> pass) {
  for (const ScheduledPrint& print : scenario.prints) {
    if (print.pass.has_value() != pass.has_value() || (pass && *print.pass != *pass)) continue;
    os::print(os::StandardStream::Output, print.stdout_bytes);
    os::print(os::StandardStream::Error, print.stderr_bytes);
  }
}

// SubscribeItem and UnsubscribeItem: the world starts the call, and the log shows its handle.
SteamAPICall_t start_workshop_call(const char* function, SteamUGCObject* ugc,
                                   PublishedFileId_t item,
                                   SteamAPICall_t (World::*start_call)(PublishedFileId_t)) {
  return guarded<SteamAPICall_t>(0, [&](Sim& sim) {
    const SteamAPICall_t handle =
        through_ugc(sim, function, ugc) ? ((*sim.world).*start_call)(item) : 0;
    sim.log.line(std::string(function) + " " + std::to_string(item) + RESULT_SEPARATOR +
                 std::to_string(handle));
    return handle;
  });
}

}  // namespace

std::int32_t SteamAPI_InitFlat(char* message) {
  return guarded<std::int32_t>(1, [&](Sim& sim) {
    wait_if_blocking(sim, "SteamAPI_InitFlat");
    const Scenario& scenario = sim.world->scenario();
    print_due(scenario, std::nullopt);
    std::int32_t result = scenario.init_result;
    std::string answer = scenario.init_message;
    if (sim.phase == Phase::Running) {
      sim.log.misuse("SteamAPI_InitFlat after a successful SteamAPI_InitFlat");
    } else if (sim.phase == Phase::ShutDown) {
      sim.log.misuse("SteamAPI_InitFlat after SteamAPI_Shutdown");
      result = 1;
      answer = "steam_sim: SteamAPI_InitFlat after SteamAPI_Shutdown";
    } else {
      sim.phase = result == 0 ? Phase::Running : Phase::InitFailed;
    }

    if (message == nullptr) {
      sim.log.misuse("SteamAPI_InitFlat with a null message buffer");
    } else {
      const std::size_t length = std::min<std::size_t>(answer.size(), STEAM_INIT_MESSAGE_SIZE - 1);
      std::memcpy(message, answer.data(), length);
      message[length] = '\0';
    }
    sim.log.line("SteamAPI_InitFlat SteamAppId=" + environment_text("SteamAppId") +
                 " SteamGameId=" + environment_text("SteamGameId") + RESULT_SEPARATOR +
                 std::to_string(result));
    return result;
  });
}

void SteamAPI_ManualDispatch_Init() {
  guarded([](Sim& sim) {
    if (running(sim, "SteamAPI_ManualDispatch_Init")) {
      if (sim.manual_dispatch) sim.log.misuse("SteamAPI_ManualDispatch_Init called twice");
      sim.manual_dispatch = true;
    }
    sim.log.line("SteamAPI_ManualDispatch_Init");
  });
}

void SteamAPI_Shutdown() {
  guarded([](Sim& sim) {
    if (running(sim, "SteamAPI_Shutdown")) {
      sim.phase = Phase::ShutDown;
      if (sim.at_shutdown) sim.at_shutdown(*sim.world);
    }
    // How much the caller had written to its records' file by now, so a test can tell that it shut
    // the library down after its last record. The file is named to us: the caller keeps its record
    // stream on a handle of its own, and the process's standard output is no longer it.
    std::string line = "SteamAPI_Shutdown";
    const std::optional<std::string> records = os::environment_variable("STEAM_SIM_STDOUT");
    if (const auto written = records ? os::file_size(*records) : std::nullopt)
      line += " stdout=" + std::to_string(*written);
    sim.log.line(line);
  });
}

SteamUGCObject* SteamAPI_SteamUGC_v021() {
  return guarded<SteamUGCObject*>(nullptr, [](Sim& sim) {
    const bool available = running(sim, "SteamAPI_SteamUGC_v021") && sim.world->scenario().ugc;
    sim.log.line("SteamAPI_SteamUGC_v021");
    return available ? UGC : nullptr;
  });
}

SteamUserObject* SteamAPI_SteamUser_v023() {
  return guarded<SteamUserObject*>(nullptr, [](Sim& sim) {
    const bool available = running(sim, "SteamAPI_SteamUser_v023") && sim.world->scenario().user;
    sim.log.line("SteamAPI_SteamUser_v023");
    return available ? USER : nullptr;
  });
}

SteamFriendsObject* SteamAPI_SteamFriends_v018() {
  return guarded<SteamFriendsObject*>(nullptr, [](Sim& sim) {
    const bool available =
        running(sim, "SteamAPI_SteamFriends_v018") && sim.world->scenario().friends;
    sim.log.line("SteamAPI_SteamFriends_v018");
    return available ? FRIENDS : nullptr;
  });
}

HSteamPipe SteamAPI_GetHSteamPipe() {
  return guarded<HSteamPipe>(0, [](Sim& sim) {
    const HSteamPipe pipe = running(sim, "SteamAPI_GetHSteamPipe") ? sim.world->scenario().pipe : 0;
    sim.log.line("SteamAPI_GetHSteamPipe -> " + std::to_string(pipe));
    return pipe;
  });
}

void SteamAPI_ManualDispatch_RunFrame(HSteamPipe pipe) {
  guarded([&](Sim& sim) {
    if (dispatching(sim, "SteamAPI_ManualDispatch_RunFrame", pipe)) {
      sim.world->run_pass();
      if (!sim.world->closed()) print_due(sim.world->scenario(), sim.world->pass());
      if (sim.after_pass) sim.after_pass(*sim.world);
    }
    sim.log.line("SteamAPI_ManualDispatch_RunFrame " + std::to_string(pipe));
  });
}

bool SteamAPI_ManualDispatch_GetNextCallback(HSteamPipe pipe, void* message) {
  return guarded(false, [&](Sim& sim) {
    const char* function = "SteamAPI_ManualDispatch_GetNextCallback";
    std::optional<std::int32_t> id;
    if (dispatching(sim, function, pipe)) {
      Mailbox& mailbox = sim.world->mailbox();
      if (message == nullptr) {
        sim.log.misuse(std::string(function) + " with a null message record");
      } else if (mailbox.holding()) {
        sim.log.misuse(std::string(function) +
                       " before SteamAPI_ManualDispatch_FreeLastCallback freed the last message");
      } else {
        id = mailbox.take_next(message);
      }
    }
    sim.log.line(std::string(function) + " " + std::to_string(pipe) + RESULT_SEPARATOR +
                 (id ? std::to_string(*id) : "none"));
    return id.has_value();
  });
}

void SteamAPI_ManualDispatch_FreeLastCallback(HSteamPipe pipe) {
  guarded([&](Sim& sim) {
    const char* function = "SteamAPI_ManualDispatch_FreeLastCallback";
    if (dispatching(sim, function, pipe) && !sim.world->mailbox().release()) {
      sim.log.misuse(std::string(function) + " with no message to free");
    }
    sim.log.line(std::string(function) + " " + std::to_string(pipe));
  });
}

bool SteamAPI_ManualDispatch_GetAPICallResult(HSteamPipe pipe, SteamAPICall_t call, void* result,
                                              int result_size, int result_callback_id,
                                              bool* io_failure) {
  return guarded(false, [&](Sim& sim) {
    const char* function = "SteamAPI_ManualDispatch_GetAPICallResult";
    bool fetched = false;
    if (dispatching(sim, function, pipe)) {
      if (result_size < 0) {
        sim.log.misuse(std::string(function) + " with a negative result size");
      } else if (result == nullptr && result_size > 0) {
        sim.log.misuse(std::string(function) + " with a null result buffer");
      } else if (io_failure == nullptr) {
        sim.log.misuse(std::string(function) + " with a null io_failure flag");
      } else {
        bool failed = false;
        fetched = sim.world->fetch_result(call, result_callback_id, result,
                                          static_cast<std::size_t>(result_size), failed);
        if (fetched) *io_failure = failed;
      }
    }
    sim.log.line(std::string(function) + " " + std::to_string(pipe) + " " + std::to_string(call) +
                 " " + std::to_string(result_size) + " " + std::to_string(result_callback_id) +
                 RESULT_SEPARATOR + text(fetched));
    return fetched;
  });
}

std::uint64_t SteamAPI_ISteamUser_GetSteamID(SteamUserObject* user) {
  return guarded<std::uint64_t>(0, [&](Sim& sim) {
    const char* function = "SteamAPI_ISteamUser_GetSteamID";
    const Scenario& scenario = sim.world->scenario();
    const std::uint64_t id =
        through(sim, function, user, USER, scenario.user, "SteamAPI_SteamUser_v023") &&
                !sim.world->closed()
            ? scenario.steam_id
            : 0;
    sim.log.line(std::string(function) + RESULT_SEPARATOR + std::to_string(id));
    return id;
  });
}

const char* SteamAPI_ISteamFriends_GetPersonaName(SteamFriendsObject* friends) {
  return guarded<const char*>(nullptr, [&](Sim& sim) -> const char* {
    const char* function = "SteamAPI_ISteamFriends_GetPersonaName";
    const Scenario& scenario = sim.world->scenario();
    const bool allowed =
        through(sim, function, friends, FRIENDS, scenario.friends, "SteamAPI_SteamFriends_v018");
    sim.log.line(function);
    // The name lives as long as the scenario does, like the real library's cached name.
    if (allowed && sim.world->closed()) return "";
    return allowed && scenario.persona ? scenario.persona->c_str() : nullptr;
  });
}

std::uint32_t SteamAPI_ISteamUGC_GetItemState(SteamUGCObject* ugc, PublishedFileId_t item) {
  return guarded<std::uint32_t>(0, [&](Sim& sim) {
    const char* function = "SteamAPI_ISteamUGC_GetItemState";
    const std::uint32_t state =
        through_ugc(sim, function, ugc) ? sim.world->get_item_state(item) : 0;
    sim.log.line(std::string(function) + " " + std::to_string(item) + RESULT_SEPARATOR +
                 std::to_string(state));
    return state;
  });
}

bool SteamAPI_ISteamUGC_GetItemInstallInfo(SteamUGCObject* ugc, PublishedFileId_t item,
                                           std::uint64_t* size_on_disk, char* folder,
                                           std::uint32_t folder_size, std::uint32_t* timestamp) {
  return guarded(false, [&](Sim& sim) {
    const char* function = "SteamAPI_ISteamUGC_GetItemInstallInfo";
    bool found = false;
    if (through_ugc(sim, function, ugc)) {
      if (size_on_disk == nullptr || timestamp == nullptr ||
          (folder == nullptr && folder_size > 0)) {
        sim.log.misuse(std::string(function) + " with a null output pointer");
      } else if (const ScriptedInstall* install = sim.world->get_item_install_info(item)) {
        found = true;
        *size_on_disk = install->size;
        *timestamp = install->timestamp;
        write_folder(*install, folder, folder_size);
      }
    }
    sim.log.line(std::string(function) + " " + std::to_string(item) + " " +
                 std::to_string(folder_size) + RESULT_SEPARATOR + text(found));
    return found;
  });
}

SteamAPICall_t SteamAPI_ISteamUGC_SubscribeItem(SteamUGCObject* ugc, PublishedFileId_t item) {
  return start_workshop_call("SteamAPI_ISteamUGC_SubscribeItem", ugc, item, &World::subscribe_item);
}

SteamAPICall_t SteamAPI_ISteamUGC_UnsubscribeItem(SteamUGCObject* ugc, PublishedFileId_t item) {
  return start_workshop_call("SteamAPI_ISteamUGC_UnsubscribeItem", ugc, item,
                             &World::unsubscribe_item);
}

bool SteamAPI_ISteamUGC_DownloadItem(SteamUGCObject* ugc, PublishedFileId_t item,
                                     bool high_priority) {
  return guarded(false, [&](Sim& sim) {
    const char* function = "SteamAPI_ISteamUGC_DownloadItem";
    const bool accepted = through_ugc(sim, function, ugc) && sim.world->download_item(item, high_priority);
    sim.log.line(std::string(function) + " " + std::to_string(item) + " " + text(high_priority) +
                 RESULT_SEPARATOR + text(accepted));
    return accepted;
  });
}

bool SteamAPI_ISteamUGC_GetItemDownloadInfo(SteamUGCObject* ugc, PublishedFileId_t item,
                                            std::uint64_t* bytes_downloaded,
                                            std::uint64_t* bytes_total) {
  return guarded(false, [&](Sim& sim) {
    const char* function = "SteamAPI_ISteamUGC_GetItemDownloadInfo";
    bool known = false;
    if (through_ugc(sim, function, ugc)) {
      if (bytes_downloaded == nullptr || bytes_total == nullptr) {
        sim.log.misuse(std::string(function) + " with a null output pointer");
      } else if (const auto info = sim.world->get_item_download_info(item)) {
        known = true;
        *bytes_downloaded = info->done;
        *bytes_total = info->total;
      }
    }
    sim.log.line(std::string(function) + " " + std::to_string(item) + RESULT_SEPARATOR + text(known));
    return known;
  });
}
