#include "steam/account.h"

#include "steam/interfaces.h"

namespace quennet {

Ready logged_in_account(const SteamClient& client) {
  const std::uint64_t steam_id = client.user().steam_id();
  return Ready{steam_id, client.friends().persona_name()};
}

}  // namespace quennet
