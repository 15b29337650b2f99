#include "workshop/item.h"

#include "protocol/utf8.h"
#include "steam/interfaces.h"
#include "steam/raw_records.h"

namespace quennet {

namespace {

// Item-state bits, by value. Only the low six bits mean anything to us; 2 (legacy) is read nowhere.
constexpr std::uint32_t ITEM_SUBSCRIBED = 1;
constexpr std::uint32_t ITEM_INSTALLED = 4;
constexpr std::uint32_t ITEM_NEEDS_UPDATE = 8;
constexpr std::uint32_t ITEM_DOWNLOADING = 16;
constexpr std::uint32_t ITEM_DOWNLOAD_PENDING = 32;

}  // namespace

ItemState decode_item_state(std::uint32_t word) {
  return ItemState{
      (word & ITEM_SUBSCRIBED) != 0,
      (word & ITEM_INSTALLED) != 0,
      (word & ITEM_NEEDS_UPDATE) != 0,
      (word & (ITEM_DOWNLOADING | ITEM_DOWNLOAD_PENDING)) != 0,
  };
}

ItemState item_state(const SteamClient& client, WorkshopId id) {
  return decode_item_state(client.ugc().get_item_state(id));
}

InstallInfo decode_install_info(const RawInstallInfo& raw) {
  return InstallInfo{decode_utf8_lossy(until_nul(raw.folder, sizeof raw.folder)), raw.size_on_disk,
                     raw.timestamp};
}

std::optional<InstallInfo> install_info(const SteamClient& client, WorkshopId id) {
  RawInstallInfo raw;
  if (!client.ugc().get_item_install_info(id, raw)) return std::nullopt;
  return decode_install_info(raw);
}

}  // namespace quennet
