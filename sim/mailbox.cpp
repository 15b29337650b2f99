#include "sim/mailbox.h"

#include "sim/records.h"

namespace steam_sim {

std::optional<std::int32_t> Mailbox::take_next(void* record) {
  if (queue_.empty()) return std::nullopt;
  held_ = std::move(queue_.front());
  queue_.pop_front();

  // An empty message still gets a real address: only a message meant to be null has address 0.
  static const unsigned char empty = 0;
  const void* data = held_->null_data ? nullptr : held_->data.empty() ? &empty : held_->data.data();
  write_message_record(record, held_->id, data, held_->size);
  return held_->id;
}

bool Mailbox::release() {
  if (!held_) return false;
  held_.reset();
  return true;
}

}  // namespace steam_sim
