#include "workshop/item.h"

#include "protocol/utf8.h"

namespace quennet {

ItemState decode_item_state(std::uint32_t word) {
  return ItemState{
      (word & ITEM_SUBSCRIBED) != 0,
      (word & ITEM_INSTALLED) != 0,
      (word & ITEM_NEEDS_UPDATE) != 0,
      (word & (ITEM_DOWNLOADING | ITEM_DOWNLOAD_PENDING)) != 0,
  };
}

ItemState item_state(const SteamClient& client, WorkshopId id) {
  const UgcInterface ugc = client.ugc();
  return decode_item_state(ugc.api().SteamAPI_ISteamUGC_GetItemState(ugc.pointer(), id));
}

std::optional<InstallInfo> install_info(const SteamClient& client, WorkshopId id) {
  char folder[INSTALL_FOLDER_BUFFER] = {};
  std::uint64_t size = 0;
  std::uint32_t timestamp = 0;
  const UgcInterface ugc = client.ugc();
  if (!ugc.api().SteamAPI_ISteamUGC_GetItemInstallInfo(ugc.pointer(), id, &size, folder,
                                                       INSTALL_FOLDER_BUFFER, &timestamp)) {
    return std::nullopt;
  }
  // A path that fills the whole buffer has no NUL: it ends at the buffer's end, never beyond.
  return InstallInfo{decode_utf8_lossy(until_nul(folder, sizeof folder)), size, timestamp};
}

}  // namespace quennet
