#include "workshop/polling.h"

#include "steam/steam_end.h"

namespace quennet {

namespace {

// Whole seconds since `start`; a clock reading before the start counts as none. Compared in whole
// seconds, so that a limit of 2^64-1 seconds cannot overflow a duration.
std::uint64_t seconds_since(platform::Nanoseconds start, platform::Nanoseconds now) {
  if (now <= start) return 0;
  return static_cast<std::uint64_t>((now - start).count()) / 1'000'000'000u;
}

}  // namespace

PollEnd poll_until_done(const SteamClient& client, const platform::Clock& clock,
                        platform::Nanoseconds start, std::uint64_t limit_secs,
                        const std::function<bool()>& pass) {
  // Steam's end is listened for while the loop runs; the notices arrive only through its pump.
  const SteamEndWatch steam(client);
  for (;;) {
    client.run_callbacks();
    if (!pass()) return PollEnd::Finished;
    // The pass ran as usual, so an item that completed in it counts; then the cause Steam named is
    // reported rather than the limit that may have passed at the same time.
    if (const std::optional<SteamEnd> end = steam.seen()) {
      return *end == SteamEnd::ShuttingDown ? PollEnd::SteamShuttingDown : PollEnd::SteamLost;
    }
    if (seconds_since(start, clock.now()) >= limit_secs) return PollEnd::TimeLimit;
    clock.sleep_for(POLL_INTERVAL);
  }
}

}  // namespace quennet
