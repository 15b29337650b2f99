#include "steam/outcome.h"

namespace quennet {

struct OutcomeQueue {
  // Room for the one value made when the call is made, so that the pump allocates nothing for it.
  OutcomeQueue() { values.reserve(1); }

  std::mutex lock;
  std::vector<CallOutcome> values;  // at most one in practice
  bool sender_open = true;
  bool receiver_open = true;
};

OutcomeSender::OutcomeSender(std::shared_ptr<OutcomeQueue> queue) : queue_(std::move(queue)) {}

OutcomeSender::~OutcomeSender() { close(); }

void OutcomeSender::send(CallOutcome outcome) {
  if (!queue_) return;
  {
    std::lock_guard<std::mutex> hold(queue_->lock);
    if (queue_->receiver_open) queue_->values.push_back(std::move(outcome));
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
  queue->values.clear();
}

Taken CallOutcomeReceiver::try_take() {
  if (!queue_) return Disconnected{};
  std::lock_guard<std::mutex> hold(queue_->lock);
  if (!queue_->values.empty()) {
    CallOutcome outcome = std::move(queue_->values.front());
    queue_->values.erase(queue_->values.begin());
    return outcome;
  }
  if (!queue_->sender_open) return Disconnected{};
  return NothingYet{};
}

OutcomeChannel make_outcome_queue() {
  auto queue = std::make_shared<OutcomeQueue>();
  return OutcomeChannel{OutcomeSender(queue), CallOutcomeReceiver(queue)};
}

}  // namespace quennet
