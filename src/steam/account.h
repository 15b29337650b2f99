// Who is logged in to Steam.
#pragma once

#include "protocol/event.h"
#include "steam/session.h"

namespace quennet {

// The Ready record: the account's Steam ID (GetSteamID), then its persona name (GetPersonaName).
Ready logged_in_account(const SteamClient& client);

}  // namespace quennet
