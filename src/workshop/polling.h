// The one polling loop of download and unsubscribe: each pass runs the pump and the operation's own
// work, and the loop ends when nothing is active, when the time limit has passed, or when Steam
// announced its own end.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "platform/clock.h"
#include "steam/session.h"

namespace quennet {

// The pause between two passes of a polling loop.
inline constexpr std::chrono::milliseconds POLL_INTERVAL{50};

enum class PollEnd {
  Finished,           // nothing is active any more
  TimeLimit,          // `limit_secs` passed with items still active
  SteamShuttingDown,  // Steam is quitting and waits for us (callback 704)
  SteamLost,          // the connection to the Steam client broke (callback 117)
};

// Runs passes from now on. A pass runs the callback pump once, then `pass`, which does the
// operation's work for this pass and returns whether any item is still active. With none active
// the loop is Finished. Otherwise Steam's end, announced in this pass or an earlier one, ends it;
// then the limit, once `limit_secs` whole seconds have passed since `start` (a clock reading
// before `start` counts as none); else it pauses POLL_INTERVAL. The items still active when the
// loop ends are the caller's to report: each ending gets its own words there.
PollEnd poll_until_done(const SteamClient& client, const platform::Clock& clock,
                        platform::Nanoseconds start, std::uint64_t limit_secs,
                        const std::function<bool()>& pass);

}  // namespace quennet
