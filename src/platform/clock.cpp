#include "platform/clock.h"

#include <thread>

namespace quennet::platform {

namespace {

Nanoseconds steady_now() {
  return std::chrono::duration_cast<Nanoseconds>(std::chrono::steady_clock::now().time_since_epoch());
}

void steady_sleep(Nanoseconds duration) { std::this_thread::sleep_for(duration); }

}  // namespace

Clock monotonic_clock() { return Clock{steady_now, steady_sleep}; }

}  // namespace quennet::platform
