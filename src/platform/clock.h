// Monotonic time and sleeping, behind a seam so that tests can run the polling loops on virtual time.
#pragma once

#include <chrono>
#include <functional>

namespace quennet::platform {

using Nanoseconds = std::chrono::nanoseconds;

// A monotonic clock: `now` only ever moves forward, from an arbitrary origin. The loops that poll
// Steam read it and sleep through it, never through the OS directly.
struct Clock {
  std::function<Nanoseconds()> now;
  std::function<void(Nanoseconds duration)> sleep_for;
};

// The OS's monotonic clock and sleep.
Clock monotonic_clock();

}  // namespace quennet::platform
