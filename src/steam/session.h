// The one Steam session of a run: opened as DayZ, shared by reference count, shut down by its last
// holder.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "common/result.h"
#include "protocol/event.h"
#include "steam/library.h"
#include "steam/outcome.h"

namespace quennet {

// DayZ's Steam application id, as the process presents itself to Steam.
inline constexpr std::uint32_t DAYZ_APP_ID = 221100;
inline constexpr char DAYZ_APP_ID_TEXT[] = "221100";

// SteamAPI_InitFlat's failure results.
enum class SteamInitKind : std::int32_t { FailedGeneric = 1, NoSteamClient = 2, VersionMismatch = 3 };

struct SteamInitError {
  SteamInitKind kind;
  std::string steamMessage;  // what the library wrote into its message buffer; may be empty

  // "<kind text>" or "<kind text>: <steamMessage>".
  std::string describe() const;
};

// Where a session meets the world: the OS environment and the real library in the program, a
// recorder and the simulator in tests.
struct SteamHost {
  void (*set_environment)(const char* name, const char* value);
  Result<SteamApi, std::string> (*load_library)();
};

SteamHost production_steam_host();

// A repeatable handler for one callback id: the address and size of the callback's data record.
using CallbackHandler = std::function<void(const void* data, std::size_t size)>;
// A one-shot handler for one API call: the fetched result record, its size, the I/O-failure flag.
using CallResultHandler = std::function<void(const void* result, std::size_t size, bool io_failure)>;

struct SessionState;
class CallbackHandle;
class UgcInterface;
template <typename Object>
class InterfaceHandle;

// A strong share of the open session. Copies add shares; the last one to go shuts Steam down:
// SteamAPI_Shutdown, then every callback handler is discarded, then every pending call result,
// uncalled (its outcome queue disconnects).
class SteamClient {
 public:
  // Sets SteamAppId and SteamGameId, loads the library, initialises it and switches on manual
  // dispatch. Called once per run.
  static Result<SteamClient, SteamInitError> init(const SteamHost& host);

  // Fresh interface handles, asked of the library on every call and never cached.
  UgcInterface ugc() const;
  InterfaceHandle<SteamUserObject> user() const;
  InterfaceHandle<SteamFriendsObject> friends() const;

  const SteamApi& api() const;

  // One pass of the callback pump: every pending callback to its handler, every completed call
  // whose result can be fetched to its one-shot handler. Never waits.
  void run_callbacks() const;

  // Stores `handler` for `callback_id`, replacing (and releasing) any earlier one. Handlers run
  // inside run_callbacks with the handler table locked: they must not register or release handlers.
  CallbackHandle register_callback(std::int32_t callback_id, CallbackHandler handler) const;

  // Stores the one-shot `handler` for `call`, releasing uncalled any handler still pending there.
  void register_call_result(SteamAPICall_t call, CallResultHandler handler) const;

 private:
  explicit SteamClient(std::shared_ptr<SessionState> state) : state_(std::move(state)) {}
  std::shared_ptr<SessionState> state_;
};

// The registration of one callback handler. It does not keep the session open; released while the
// session is open it removes the handler, released after shutdown it does nothing.
class CallbackHandle {
 public:
  CallbackHandle(std::weak_ptr<SessionState> session, std::int32_t callback_id)
      : session_(std::move(session)), callback_id_(callback_id) {}
  CallbackHandle(CallbackHandle&& other) noexcept = default;
  CallbackHandle& operator=(CallbackHandle&&) = delete;
  ~CallbackHandle() { release(); }

  void release();

 private:
  std::weak_ptr<SessionState> session_;
  std::int32_t callback_id_;
};

// Interface handles: the raw interface pointer for one library call, and a share of the session
// for as long as that call takes.
template <typename Object>
class InterfaceHandle {
 public:
  InterfaceHandle(SteamClient client, Object* pointer) : client_(std::move(client)), pointer_(pointer) {}
  const SteamApi& api() const { return client_.api(); }
  Object* pointer() const { return pointer_; }

 protected:
  SteamClient client_;
  Object* pointer_;
};

using UserInterface = InterfaceHandle<SteamUserObject>;
using FriendsInterface = InterfaceHandle<SteamFriendsObject>;

class UgcInterface : public InterfaceHandle<SteamUGCObject> {
 public:
  using InterfaceHandle::InterfaceHandle;

  // SubscribeItem / UnsubscribeItem, with the Workshop completion registered under the returned
  // API call handle. The handle is used as it comes, without any test for validity.
  CallOutcomeReceiver subscribe_item(WorkshopId id) const;
  CallOutcomeReceiver unsubscribe_item(WorkshopId id) const;
};

// The session's state. Only the binding's own units reach into it.
struct SessionState {
  explicit SessionState(const SteamApi& library) : api(library) {}
  ~SessionState();  // the shutdown sequence
  SessionState(const SessionState&) = delete;
  SessionState& operator=(const SessionState&) = delete;

  const SteamApi api;
  std::mutex handlers_lock;
  std::map<std::int32_t, CallbackHandler> handlers;
  std::mutex call_results_lock;
  std::unordered_map<SteamAPICall_t, CallResultHandler> call_results;
};

}  // namespace quennet
