// What Steam knows about one Workshop item: its state flags and its install information.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/workshop_id.h"
#include "steam/session.h"

namespace quennet {

struct ItemState {
  bool subscribed;
  bool installed;
  bool needs_update;
  bool downloading;  // downloading or waiting to download
};

ItemState decode_item_state(std::uint32_t word);

// One GetItemState call, decoded. Reports no failure: the word 0 is all flags false.
ItemState item_state(const SteamClient& client, WorkshopId id);

// Install information decoded: the folder as UTF-8, invalid sequences replaced.
struct InstallInfo {
  std::string folder;
  std::uint64_t size_on_disk;
  std::uint32_t timestamp;
};

struct RawInstallInfo;  // steam/interfaces.h

// A path that fills the whole buffer has no NUL: it ends at the buffer's end, never beyond.
InstallInfo decode_install_info(const RawInstallInfo& raw);

// One GetItemInstallInfo call, decoded. Nothing when Steam says the item is not installed. The
// download's polling asks for the raw information instead (UgcInterface::get_item_install_info),
// so that a pass decodes the folder (a heap string) only once the item is complete.
std::optional<InstallInfo> install_info(const SteamClient& client, WorkshopId id);

}  // namespace quennet
