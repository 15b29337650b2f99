#include "steam/session.h"

#include "platform/environment.h"
#include "protocol/utf8.h"
#include "steam/pump.h"
#include "steam/raw_records.h"

namespace quennet {

SessionState::SessionState(const SteamApi& library)
    : api(library), pump(std::make_unique<CallbackPump>(api)) {}

SessionState::~SessionState() {
  api.SteamAPI_Shutdown();
  pump->discard_all();
}

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
  if (!steam_message.empty()) detail += ": " + steam_message;
  return detail;
}

SteamLoading production_steam_loading() {
  return SteamLoading{platform::set_environment_variable, load_steam_api};
}

Result<SteamClient, SteamInitError> SteamClient::init(const SteamLoading& loading) {
  const std::string app_id = std::to_string(DAYZ_APP_ID);
  loading.set_environment("SteamAppId", app_id.c_str());
  loading.set_environment("SteamGameId", app_id.c_str());

  auto api = loading.load_library();
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

void SteamClient::run_callbacks() const { state_->pump->run_callbacks(); }

CallbackHandle SteamClient::register_callback(std::int32_t callback_id, CallbackHandler handler) const {
  state_->pump->register_callback(callback_id, std::move(handler));
  // Shares the session's life without keeping it open: the handle finds nothing after shutdown.
  return CallbackHandle(std::shared_ptr<CallbackPump>(state_, state_->pump.get()), callback_id);
}

void SteamClient::register_call_result(SteamAPICall_t call, CallResultHandler handler) const {
  state_->pump->register_call_result(call, std::move(handler));
}

}  // namespace quennet
