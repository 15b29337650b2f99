#include "workshop/status.h"

#include "workshop/item.h"

namespace quennet {

void run_status(const SteamClient& client, std::span<const WorkshopId> ids, const RecordSink& emit) {
  client.run_callbacks();
  for (const WorkshopId id : ids) {
    const ItemState state = item_state(client, id);
    // The flags and the folder come from two independent answers and are reported as Steam gives
    // them, even when they disagree.
    std::optional<InstallInfo> info = install_info(client, id);
    emit(State{
        id,
        state.subscribed,
        state.installed,
        state.needs_update,
        state.downloading,
        info ? std::optional<std::string>(std::move(info->folder)) : std::nullopt,
        info ? info->size_on_disk : 0,
        info ? info->timestamp : 0,
    });
  }
}

}  // namespace quennet
