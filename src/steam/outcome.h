// Single-use outcome queues: how the result of an asynchronous Workshop call reaches the operation
// that waits for it, without the operation ever blocking.
#pragma once

#include <memory>
#include <mutex>
#include <variant>
#include <vector>

#include "steam/result_codes.h"

namespace quennet {

struct Succeeded {};
struct Failed {
  SteamFailure failure;
};
using CallOutcome = std::variant<Succeeded, Failed>;

struct NothingYet {};
struct Disconnected {};
// What CallOutcomeReceiver::try_take finds.
using Taken = std::variant<NothingYet, CallOutcome, Disconnected>;

struct OutcomeQueue;

// The sending end, owned by the call's completion handler. Sending, or going away without sending,
// disconnects the queue once its values are taken.
class OutcomeSender {
 public:
  explicit OutcomeSender(std::shared_ptr<OutcomeQueue> queue);
  OutcomeSender(OutcomeSender&&) noexcept = default;
  OutcomeSender& operator=(OutcomeSender&&) = delete;
  ~OutcomeSender();

  // Queues `outcome` (dropped when the receiver is gone) and closes the sending end.
  void send(CallOutcome outcome);

 private:
  void close();
  std::shared_ptr<OutcomeQueue> queue_;
};

// The receiving end, held by the waiting operation.
class CallOutcomeReceiver {
 public:
  explicit CallOutcomeReceiver(std::shared_ptr<OutcomeQueue> queue);
  CallOutcomeReceiver(CallOutcomeReceiver&&) noexcept = default;
  CallOutcomeReceiver& operator=(CallOutcomeReceiver&& other) noexcept;
  ~CallOutcomeReceiver();

  // Never waits: nothing yet, the outcome, or disconnected (taken already, or the sender went away
  // without sending).
  Taken try_take();

 private:
  void close();
  std::shared_ptr<OutcomeQueue> queue_;
};

struct OutcomeChannel {
  OutcomeSender sender;
  CallOutcomeReceiver receiver;
};

OutcomeChannel make_outcome_queue();

}  // namespace quennet
