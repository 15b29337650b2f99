#include "steam/steam_end.h"

namespace quennet {

namespace {

CallbackHandle note(const SteamClient& client, std::int32_t callback_id, SteamEnd end,
                    const std::shared_ptr<std::optional<SteamEnd>>& seen) {
  // The handler runs inside the pump on our one thread; the record's content is not read.
  return client.register_callback(callback_id, [seen, end](const void*, std::size_t) {
    if (!*seen) *seen = end;
  });
}

}  // namespace

SteamEndWatch::SteamEndWatch(const SteamClient& client)
    : seen_(std::make_shared<std::optional<SteamEnd>>()),
      shutdown_(note(client, STEAM_SHUTDOWN_CALLBACK, SteamEnd::ShuttingDown, seen_)),
      lost_(note(client, IPC_FAILURE_CALLBACK, SteamEnd::ConnectionLost, seen_)) {}

}  // namespace quennet
