// The callback messages waiting for the caller, and the one it holds.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace steam_sim {

// A callback message of the client, as GetNextCallback hands it to the caller.
struct CallbackMessage {
  std::int32_t id = 0;
  std::vector<unsigned char> data;  // at least `size` bytes, so the size field never lies
  std::int32_t size = 0;
  bool null_data = false;
};

class Mailbox {
 public:
  void post(CallbackMessage message) { queue_.push_back(std::move(message)); }

  // True while the caller holds a message it has not freed.
  bool holding() const { return held_.has_value(); }

  // Hands the oldest message to the caller: fills the message record at `record` and keeps the
  // message's data alive until release(). Returns its callback id, or nothing when none waits.
  std::optional<std::int32_t> take_next(void* record);

  // Drops the held message. Returns false when none was held.
  bool release();

 private:
  std::deque<CallbackMessage> queue_;
  std::optional<CallbackMessage> held_;
};

}  // namespace steam_sim
