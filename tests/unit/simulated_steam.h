// In-process tests against the simulated Steam: the simulator's functions as the program's function
// table, a virtual clock, a recorder for the records a run writes, and one fixture that runs any
// operation on them.
#pragma once

#include <gtest/gtest.h>

#include <concepts>
#include <cstdint>
#include <type_traits>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "protocol/emit.h"
#include "steam/session.h"
#include "support/simulated_api.h"
#include "support/virtual_clock.h"

namespace quennet {

// Failed expectations show records as the line they would be written as.
void PrintTo(const Event& event, std::ostream* out);
template <typename Record>
  requires(!std::same_as<Record, Event> && std::is_constructible_v<Event, const Record&> &&
           std::is_class_v<Record>)
void PrintTo(const Record& record, std::ostream* out) {
  PrintTo(Event(record), out);
}

}  // namespace quennet

namespace quennet::test {

// Sets the environment for real and records each setting, then hands out simulated_api().
SteamLoading simulated_loading();
// "SteamAppId=221100" and so on, then "load", in the order the session did them.
std::vector<std::string>& loading_calls();

// Starts the simulator's world afresh from `json` (empty: the demo world); a bad scenario fails the
// test.
void load_scenario(std::string_view json);
// A session on the current scenario; the test fails when it cannot be opened.
SteamClient open_session();

// The records a run writes, each also noting how many simulator calls preceded it and, given a
// clock, when it was written. Every record must serialise.
struct Recorder {
  const VirtualClock* clock = nullptr;
  std::vector<Event> events;
  std::vector<std::size_t> log_positions;
  std::vector<platform::Nanoseconds> times;
  RecordSink sink();
};

// One operation on a freshly loaded scenario, a virtual clock and a recorder.
struct Session {
  explicit Session(std::string_view scenario);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  void status(std::vector<WorkshopId> ids);
  bool download(std::vector<WorkshopId> ids, std::uint64_t timeout_secs = 1800);
  bool unsubscribe(std::vector<WorkshopId> ids);
  // The whole run driver, from the command line to the exit status.
  int run(std::vector<std::string> args);

  // Passes of the callback pump so far.
  std::size_t passes() const;

  VirtualClock clock;
  Recorder recorder;
};

}  // namespace quennet::test
