// The one Steam session of a run: opened as DayZ, shared by reference count, shut down by its last
// holder.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/result.h"
#include "steam/callbacks.h"
#include "steam/library.h"

namespace quennet {

// DayZ's Steam application id, as the process presents itself to Steam.
inline constexpr std::uint32_t DAYZ_APP_ID = 221100;

// SteamAPI_InitFlat's failure results.
enum class SteamInitKind : std::int32_t { FailedGeneric = 1, NoSteamClient = 2, VersionMismatch = 3 };

struct SteamInitError {
  SteamInitKind kind;
  std::string steam_message;  // what the library wrote into its message buffer; may be empty

  // "<kind text>" or "<kind text>: <steam_message>".
  std::string describe() const;
};

// What opening a session needs of the world: the OS environment and the real library in the
// program, a recorder and the simulator in tests.
struct SteamLoading {
  std::function<void(const char* name, const char* value)> set_environment;
  std::function<Result<SteamApi, std::string>()> load_library;
};

SteamLoading production_steam_loading();

// The open session: the library's function table and the pump's handler tables (steam/pump.h).
// Dies with the last SteamClient: SteamAPI_Shutdown, then the pump discards its handlers.
struct SessionState {
  explicit SessionState(const SteamApi& library);
  SessionState(const SessionState&) = delete;
  SessionState& operator=(const SessionState&) = delete;
  ~SessionState();

  const SteamApi api;
  std::unique_ptr<CallbackPump> pump;
};

class UgcInterface;
class UserInterface;
class FriendsInterface;

// A strong share of the open session. Copies add shares; the last one to go shuts Steam down:
// SteamAPI_Shutdown, then every callback handler is discarded, then every pending call result,
// uncalled (its outcome queue disconnects).
class SteamClient {
 public:
  // Sets SteamAppId and SteamGameId, loads the library, initialises it and switches on manual
  // dispatch. Called once per run.
  static Result<SteamClient, SteamInitError> init(const SteamLoading& loading);

  // Fresh interface handles (steam/interfaces.h), asked of the library on every call and never
  // cached.
  UgcInterface ugc() const;
  UserInterface user() const;
  FriendsInterface friends() const;

  // The session's callback pump (steam/pump.cpp): one pass, and handler registration.
  void run_callbacks() const;
  CallbackHandle register_callback(std::int32_t callback_id, CallbackHandler handler) const;
  void register_call_result(SteamAPICall_t call, CallResultHandler handler) const;

 private:
  explicit SteamClient(std::shared_ptr<SessionState> state) : state_(std::move(state)) {}
  // For the interface handles, which ask for theirs on every call (steam/interfaces.cpp).
  const SteamApi& api() const { return state_->api; }

  std::shared_ptr<SessionState> state_;
};

}  // namespace quennet
