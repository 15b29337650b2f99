// Time that moves only when the code under test sleeps, or when a test moves it. Shared by the
// in-process tests, the fuzz targets and the benchmarks. With the simulator's call log it is how a
// polling loop is tested: tests/unit/download_test.cpp counts passes and spacing on it, and a
// 30-minute limit takes no time.
#pragma once

#include <cstddef>

#include "platform/clock.h"

namespace quennet::test {

struct VirtualClock {
  platform::Nanoseconds now{1'000'000'000'000};
  platform::Nanoseconds extra_per_sleep{0};  // lets a run cross long limits in a few passes
  std::size_t sleeps = 0;

  platform::Clock clock() {
    return platform::Clock{
        [this] { return now; },
        [this](platform::Nanoseconds duration) {
          ++sleeps;
          now += duration + extra_per_sleep;
        },
    };
  }
};

}  // namespace quennet::test
