// Monotonic time and sleeping, behind a seam so that tests can run the polling loops on virtual time.
#pragma once

#include <chrono>

namespace quennet::platform {

using Nanoseconds = std::chrono::nanoseconds;

// A monotonic clock: `now` only ever moves forward, from an arbitrary origin. The loops that poll
// Steam read it and sleep through it, never through the OS directly.
struct Clock {
  Nanoseconds (*now_fn)(void* context);
  void (*sleep_fn)(void* context, Nanoseconds duration);
  void* context;

  Nanoseconds now() const { return now_fn(context); }
  void sleep_for(Nanoseconds duration) const { sleep_fn(context, duration); }
};

// The OS's monotonic clock and sleep.
Clock monotonic_clock();

}  // namespace quennet::platform
