// Steam's own end: the client quitting, or the connection to it breaking, as the library announces
// them through the pump.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "steam/session.h"

namespace quennet {

// SteamShutdown_t: Steam wants to quit, or the player pressed Stop on the game that quennet counts
// as. Steam then waits for us to exit. An empty record.
inline constexpr std::int32_t STEAM_SHUTDOWN_CALLBACK = 704;
// IPCFailure_t: the connection to the Steam client broke, as when the client crashed. One byte,
// which tells us nothing we use.
inline constexpr std::int32_t IPC_FAILURE_CALLBACK = 117;

enum class SteamEnd { ShuttingDown, ConnectionLost };

// Listens for both notices while it lives; the first one that arrives is kept. Servers going away
// (103) is not an end: Steam reconnects by itself.
class SteamEndWatch {
 public:
  explicit SteamEndWatch(const SteamClient& client);

  std::optional<SteamEnd> seen() const { return *seen_; }

 private:
  std::shared_ptr<std::optional<SteamEnd>> seen_;
  CallbackHandle shutdown_;
  CallbackHandle lost_;
};

}  // namespace quennet
