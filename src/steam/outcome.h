// Single-use outcome queues: how the result of an asynchronous Workshop call reaches the operation
// that waits for it, without the operation ever blocking.
#pragma once

#include <memory>
#include <variant>

#include "steam/result_codes.h"

namespace quennet {

struct Pending {};    // no result yet
struct Succeeded {};  // Steam's result was success
struct Failed {       // Steam's result was a failure, or the result could not be read
  SteamFailure failure;
};
struct Dropped {};    // the call will never have a result: its handler went away without one

// What CallOutcomeReceiver::try_take finds.
using CallOutcome = std::variant<Pending, Succeeded, Failed, Dropped>;

struct OutcomeQueue;

// The sending end, owned by the call's completion handler. Sending, or going away without sending,
// closes it.
class OutcomeSender {
 public:
  explicit OutcomeSender(std::shared_ptr<OutcomeQueue> queue);
  OutcomeSender(OutcomeSender&&) noexcept = default;
  OutcomeSender& operator=(OutcomeSender&&) = delete;
  ~OutcomeSender();

  // Queues `outcome` (Succeeded or Failed; dropped when the receiver is gone) and closes the sending
  // end.
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

  // Never waits: Pending, the outcome that was sent (once), or Dropped (taken already, or the
  // sender went away without sending).
  CallOutcome try_take();

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
