#include "steam/outcome.h"

#include <mutex>
#include <optional>

namespace quennet {

// Locked like the pump's tables, though only the one program thread ever takes it.
struct OutcomeQueue {
  std::mutex lock;
  std::optional<CallOutcome> value;  // in place, so that sending allocates nothing
  bool sender_open = true;
  bool receiver_open = true;
};

OutcomeSender::OutcomeSender(std::shared_ptr<OutcomeQueue> queue) : queue_(std::move(queue)) {}

OutcomeSender::~OutcomeSender() { close(); }

void OutcomeSender::send(CallOutcome outcome) {
  if (!queue_) return;
  {
    std::lock_guard<std::mutex> hold(queue_->lock);
    if (queue_->receiver_open) queue_->value = std::move(outcome);
  }
  close();
}

void OutcomeSender::close() {
  // Moved out first: the queue may die with our share, and not while its lock is held.
  const std::shared_ptr<OutcomeQueue> queue = std::move(queue_);
  if (!queue) return;
  std::lock_guard<std::mutex> hold(queue->lock);
  queue->sender_open = false;
}

CallOutcomeReceiver::CallOutcomeReceiver(std::shared_ptr<OutcomeQueue> queue)
    : queue_(std::move(queue)) {}

CallOutcomeReceiver& CallOutcomeReceiver::operator=(CallOutcomeReceiver&& other) noexcept {
  if (this != &other) {
    close();
    queue_ = std::move(other.queue_);
  }
  return *this;
}

CallOutcomeReceiver::~CallOutcomeReceiver() { close(); }

void CallOutcomeReceiver::close() {
  const std::shared_ptr<OutcomeQueue> queue = std::move(queue_);
  if (!queue) return;
  std::lock_guard<std::mutex> hold(queue->lock);
  queue->receiver_open = false;
  queue->value.reset();
}

CallOutcome CallOutcomeReceiver::try_take() {
  if (!queue_) return Dropped{};
  std::lock_guard<std::mutex> hold(queue_->lock);
  if (queue_->value) {
    CallOutcome outcome = std::move(*queue_->value);
    queue_->value.reset();
    return outcome;
  }
  if (!queue_->sender_open) return Dropped{};
  return Pending{};
}

OutcomeChannel make_outcome_queue() {
  auto queue = std::make_shared<OutcomeQueue>();
  return OutcomeChannel{OutcomeSender(queue), CallOutcomeReceiver(queue)};
}

}  // namespace quennet
