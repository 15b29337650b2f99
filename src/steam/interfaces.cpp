#include "steam/interfaces.h"

#include <string_view>

#include "platform/fatal.h"
#include "protocol/utf8.h"
#include "steam/raw_records.h"
#include "steam/result_codes.h"

namespace quennet {

namespace {

template <typename Object>
Object* checked(Object* pointer, const char* accessor) {
  // The library promised an interface after a successful initialisation; without one every later
  // call would crash inside it. Stop here with a diagnostic instead.
  if (pointer == nullptr) platform::fatal_error(std::string("Steam returned no interface from ") + accessor);
  return pointer;
}

// The one-shot handler of a subscribe or unsubscribe call: turns its result record (the result
// code at offset 0) into the outcome and hands it to the waiting side.
CallResultHandler workshop_completion(OutcomeSender sender) {
  auto shared_sender = std::make_shared<OutcomeSender>(std::move(sender));
  return [shared_sender](const void* result, std::size_t size, bool io_failure) {
    std::int32_t code = 0;  // a record too short to hold a code reads as the unlisted code 0
    if (io_failure) {
      code = STEAM_RESULT_IO_FAILURE;
    } else if (result != nullptr && size >= sizeof code) {
      code = read_at<std::int32_t>(result, 0);
    }
    if (code == STEAM_RESULT_OK) {
      shared_sender->send(Succeeded{});
    } else {
      shared_sender->send(Failed{steam_failure(SteamError::from_eresult(code))});
    }
  };
}

// Makes the asynchronous call and registers its completion under the handle it returns.
CallOutcomeReceiver workshop_call(const SteamClient& client, SteamAPICall_t call) {
  OutcomeChannel channel = make_outcome_queue();
  client.register_call_result(call, workshop_completion(std::move(channel.sender)));
  return std::move(channel.receiver);
}

}  // namespace

// Interface handles are asked of the library on every call and never cached.
UgcInterface SteamClient::ugc() const {
  return UgcInterface(*this, api(),
                      checked(api().SteamAPI_SteamUGC_v021(), "SteamAPI_SteamUGC_v021"));
}

UserInterface SteamClient::user() const {
  return UserInterface(*this, api(),
                       checked(api().SteamAPI_SteamUser_v023(), "SteamAPI_SteamUser_v023"));
}

FriendsInterface SteamClient::friends() const {
  return FriendsInterface(
      *this, api(), checked(api().SteamAPI_SteamFriends_v018(), "SteamAPI_SteamFriends_v018"));
}

bool UgcInterface::download_item(WorkshopId id) const {
  return api_.SteamAPI_ISteamUGC_DownloadItem(pointer_, id, true);
}

bool UgcInterface::get_item_download_info(WorkshopId id, std::uint64_t& bytes_done,
                                          std::uint64_t& bytes_total) const {
  return api_.SteamAPI_ISteamUGC_GetItemDownloadInfo(pointer_, id, &bytes_done, &bytes_total);
}

CallOutcomeReceiver UgcInterface::subscribe_item(WorkshopId id) const {
  return workshop_call(client_, api_.SteamAPI_ISteamUGC_SubscribeItem(pointer_, id));
}

CallOutcomeReceiver UgcInterface::unsubscribe_item(WorkshopId id) const {
  return workshop_call(client_, api_.SteamAPI_ISteamUGC_UnsubscribeItem(pointer_, id));
}

std::uint64_t UserInterface::get_steam_id() const { return api_.SteamAPI_ISteamUser_GetSteamID(pointer_); }

std::string FriendsInterface::get_persona_name() const {
  const char* persona = api_.SteamAPI_ISteamFriends_GetPersonaName(pointer_);
  return decode_utf8_lossy(persona ? std::string_view(persona) : std::string_view());
}

}  // namespace quennet
