#include "steam/session.h"

#include "platform/environment.h"
#include "platform/fatal.h"
#include "protocol/utf8.h"

namespace quennet {

std::string SteamInitError::describe() const {
  std::string detail;
  switch (kind) {
    case SteamInitKind::NoSteamClient:
      detail = "We cannot connect to Steam, steam probably isn't running";
      break;
    case SteamInitKind::VersionMismatch:
      detail = "Steam client appears to be out of date";
      break;
    case SteamInitKind::FailedGeneric:
    default:
      detail = "Some other failure";
      break;
  }
  if (!steamMessage.empty()) detail += ": " + steamMessage;
  return detail;
}

SteamHost production_steam_host() {
  return SteamHost{platform::set_environment_variable, load_steam_api};
}

Result<SteamClient, SteamInitError> SteamClient::init(const SteamHost& host) {
  host.set_environment("SteamAppId", DAYZ_APP_ID_TEXT);
  host.set_environment("SteamGameId", DAYZ_APP_ID_TEXT);

  auto api = host.load_library();
  if (!api) {
    return Failure{SteamInitError{SteamInitKind::FailedGeneric, decode_utf8_lossy(api.error())}};
  }

  char message[STEAM_INIT_MESSAGE_SIZE] = {};
  const std::int32_t result = api.value().SteamAPI_InitFlat(message);
  if (result != 0) {
    // Results beyond the three known kinds are failures all the same.
    const auto kind = result >= 1 && result <= 3 ? static_cast<SteamInitKind>(result)
                                                 : SteamInitKind::FailedGeneric;
    return Failure{SteamInitError{kind, decode_utf8_lossy(until_nul(message, sizeof message))}};
  }

  api.value().SteamAPI_ManualDispatch_Init();
  return SteamClient(std::make_shared<SessionState>(api.value()));
}

SessionState::~SessionState() {
  api.SteamAPI_Shutdown();
  // Handlers are moved out and destroyed outside the lock: what they hold (a share of the failure
  // list, a sending end) may take locks of its own.
  std::map<std::int32_t, CallbackHandler> old_handlers;
  {
    std::lock_guard<std::mutex> hold(handlers_lock);
    old_handlers.swap(handlers);
  }
  old_handlers.clear();
  std::unordered_map<SteamAPICall_t, CallResultHandler> old_call_results;
  {
    std::lock_guard<std::mutex> hold(call_results_lock);
    old_call_results.swap(call_results);
  }
  old_call_results.clear();
}

namespace {

template <typename Object>
Object* checked(Object* pointer, const char* accessor) {
  // The library promised an interface after a successful initialisation; without one every later
  // call would crash inside it. Stop here with a diagnostic instead.
  if (pointer == nullptr) platform::fatal_error(std::string("Steam returned no interface from ") + accessor);
  return pointer;
}

}  // namespace

UgcInterface SteamClient::ugc() const {
  return UgcInterface(*this, checked(state_->api.SteamAPI_SteamUGC_v021(), "SteamAPI_SteamUGC_v021"));
}

UserInterface SteamClient::user() const {
  return UserInterface(*this, checked(state_->api.SteamAPI_SteamUser_v023(), "SteamAPI_SteamUser_v023"));
}

FriendsInterface SteamClient::friends() const {
  return FriendsInterface(*this,
                          checked(state_->api.SteamAPI_SteamFriends_v018(), "SteamAPI_SteamFriends_v018"));
}

const SteamApi& SteamClient::api() const { return state_->api; }

}  // namespace quennet
