// What Steam knows about one Workshop item: its state flags and its install information.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "protocol/event.h"
#include "steam/session.h"

namespace quennet {

inline constexpr std::uint32_t INSTALL_FOLDER_BUFFER = 4096;

// Item-state bits, by value. Only the low six bits mean anything to us; 2 (legacy) is read nowhere.
inline constexpr std::uint32_t ITEM_SUBSCRIBED = 1;
inline constexpr std::uint32_t ITEM_INSTALLED = 4;
inline constexpr std::uint32_t ITEM_NEEDS_UPDATE = 8;
inline constexpr std::uint32_t ITEM_DOWNLOADING = 16;
inline constexpr std::uint32_t ITEM_DOWNLOAD_PENDING = 32;

struct ItemState {
  bool subscribed;
  bool installed;
  bool needsUpdate;
  bool downloading;  // downloading or waiting to download
};

ItemState decode_item_state(std::uint32_t word);

// One GetItemState call, decoded. Reports no failure: the word 0 is all flags false.
ItemState item_state(const SteamClient& client, WorkshopId id);

struct InstallInfo {
  std::string folder;  // UTF-8, invalid sequences replaced
  std::uint64_t sizeOnDisk;
  std::uint32_t timestamp;
};

// Install information as Steam wrote it, the folder still raw bytes: what the download's polling
// reads on every pass, decoding the folder (a heap string) only once the item is complete.
struct InstallAnswer {
  char folder[INSTALL_FOLDER_BUFFER];
  std::uint64_t sizeOnDisk;
  std::uint32_t timestamp;

  InstallInfo decode() const;
};

// One GetItemInstallInfo call into `answer`, its folder buffer zeroed first. False when Steam says
// the item is not installed; `answer` then holds nothing of use.
bool read_install_info(const SteamClient& client, WorkshopId id, InstallAnswer& answer);

// One GetItemInstallInfo call into a zeroed 4096-byte folder buffer, decoded. Nothing when Steam
// says the item is not installed.
std::optional<InstallInfo> install_info(const SteamClient& client, WorkshopId id);

}  // namespace quennet
