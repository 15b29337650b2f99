#include "workshop/item.h"

#include <cstring>

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

bool read_install_info(const SteamClient& client, WorkshopId id, InstallAnswer& answer) {
  std::memset(answer.folder, 0, sizeof answer.folder);
  answer.sizeOnDisk = 0;
  answer.timestamp = 0;
  const UgcInterface ugc = client.ugc();
  return ugc.api().SteamAPI_ISteamUGC_GetItemInstallInfo(ugc.pointer(), id, &answer.sizeOnDisk, answer.folder,
                                                          INSTALL_FOLDER_BUFFER, &answer.timestamp);
}

InstallInfo InstallAnswer::decode() const {
  // A path that fills the whole buffer has no NUL: it ends at the buffer's end, never beyond.
  return InstallInfo{decode_utf8_lossy(until_nul(folder, sizeof folder)), sizeOnDisk, timestamp};
}

std::optional<InstallInfo> install_info(const SteamClient& client, WorkshopId id) {
  InstallAnswer answer;
  if (!read_install_info(client, id, answer)) return std::nullopt;
  return answer.decode();
}

}  // namespace quennet
