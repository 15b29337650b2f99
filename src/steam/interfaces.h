// The library's interfaces, one method per flat function the program calls on them. Nothing outside
// steam/ touches the function table: every Steam call of the Workshop operations and the run driver
// is made here.
#pragma once

#include <cstdint>
#include <cstring>

#include "common/workshop_id.h"
#include "steam/library.h"
#include "steam/outcome.h"
#include "steam/session.h"

namespace quennet {

// The raw interface pointer for the library calls of one step, and a share of the session for as
// long as the handle lives.
template <typename Object>
class InterfaceHandle {
 public:
  InterfaceHandle(SteamClient client, const SteamApi& api, Object* pointer)
      : client_(std::move(client)), api_(api), pointer_(pointer) {}

 protected:
  SteamClient client_;
  const SteamApi& api_;
  Object* pointer_;
};

// Install information as GetItemInstallInfo writes it: the folder still raw bytes.
inline constexpr std::uint32_t INSTALL_FOLDER_BUFFER = 4096;
struct RawInstallInfo {
  char folder[INSTALL_FOLDER_BUFFER];
  std::uint64_t size_on_disk;
  std::uint32_t timestamp;
};

class UgcInterface : public InterfaceHandle<SteamUGCObject> {
 public:
  using InterfaceHandle::InterfaceHandle;

  // GetItemState: the item's state bits.
  std::uint32_t get_item_state(WorkshopId id) const {
    return api_.SteamAPI_ISteamUGC_GetItemState(pointer_, id);
  }
  // GetItemInstallInfo into `info`, its folder buffer zeroed first. False when Steam says the item
  // is not installed; `info` then holds nothing of use. Both are asked for every item on every pass
  // and of every id of a status, so they are made here, inline.
  bool get_item_install_info(WorkshopId id, RawInstallInfo& info) const {
    std::memset(info.folder, 0, sizeof info.folder);
    info.size_on_disk = 0;
    info.timestamp = 0;
    return api_.SteamAPI_ISteamUGC_GetItemInstallInfo(pointer_, id, &info.size_on_disk, info.folder,
                                                       INSTALL_FOLDER_BUFFER, &info.timestamp);
  }
  // DownloadItem with high priority. False when Steam rejects the request.
  bool download_item(WorkshopId id) const;
  // GetItemDownloadInfo. False when Steam has no download information.
  bool get_item_download_info(WorkshopId id, std::uint64_t& bytes_done, std::uint64_t& bytes_total) const;

  // SubscribeItem / UnsubscribeItem, with the Workshop completion registered under the returned
  // API call handle. The handle is used as it comes, without any test for validity.
  CallOutcomeReceiver subscribe_item(WorkshopId id) const;
  CallOutcomeReceiver unsubscribe_item(WorkshopId id) const;
};

class UserInterface : public InterfaceHandle<SteamUserObject> {
 public:
  using InterfaceHandle::InterfaceHandle;

  // GetSteamID: the logged-in account's 64-bit Steam ID.
  std::uint64_t get_steam_id() const;
};

class FriendsInterface : public InterfaceHandle<SteamFriendsObject> {
 public:
  using InterfaceHandle::InterfaceHandle;

  // GetPersonaName, decoded as UTF-8 with invalid sequences replaced; "" when Steam gives none.
  std::string get_persona_name() const;
};

}  // namespace quennet
