#include "steam/pump.h"

#include "steam/raw_records.h"

namespace quennet {

namespace {

// The callback message record that GetNextCallback fills: user handle at 0, callback id at 4, data
// address at 8, data size at 16. Room to spare, and aligned for the 64-bit address.
constexpr std::size_t CALLBACK_MESSAGE_SIZE = 32;

// Call-completed notice (703), the same on every OS: call handle at 0, result callback id at 8,
// result size at 12.
constexpr std::size_t CALL_COMPLETED_SIZE = 16;

// A result record is a few dozen bytes; a notice announcing more is not believed, so that a broken
// library cannot make us allocate gigabytes. Its call is treated as one whose result cannot be
// fetched.
constexpr std::uint32_t MAX_RESULT_SIZE = 64 * 1024;

}  // namespace

void CallbackPump::run_callbacks() {
  const HSteamPipe pipe = api_.SteamAPI_GetHSteamPipe();
  api_.SteamAPI_ManualDispatch_RunFrame(pipe);

  std::vector<unsigned char> scratch;  // result records of this pass
  alignas(8) unsigned char message[CALLBACK_MESSAGE_SIZE] = {};
  while (api_.SteamAPI_ManualDispatch_GetNextCallback(pipe, message)) {
    const auto callback_id = read_at<std::int32_t>(message, 4);
    const auto* data = read_at<const unsigned char*>(message, 8);
    const auto size = read_at<std::int32_t>(message, 16);
    const std::size_t data_size = size > 0 ? static_cast<std::size_t>(size) : 0;
    if (callback_id == CALL_COMPLETED_CALLBACK) {
      deliver_call_result(pipe, data, data_size, scratch);
    } else {
      deliver_callback(callback_id, data, data_size);
    }
    api_.SteamAPI_ManualDispatch_FreeLastCallback(pipe);
  }
}

// Fetches the result that a call-completed notice announces and hands it to the call's one-shot
// handler. A result that cannot be fetched leaves the handler registered.
void CallbackPump::deliver_call_result(HSteamPipe pipe, const void* notice, std::size_t size,
                                       std::vector<unsigned char>& scratch) {
  if (notice == nullptr || size < CALL_COMPLETED_SIZE) return;
  const auto call = read_at<SteamAPICall_t>(notice, 0);
  const auto result_id = read_at<std::int32_t>(notice, 8);
  const auto result_size = read_at<std::uint32_t>(notice, 12);
  if (result_size > MAX_RESULT_SIZE) return;

  scratch.assign(result_size, 0);
  bool io_failure = false;
  if (!api_.SteamAPI_ManualDispatch_GetAPICallResult(pipe, call, scratch.data(),
                                                      static_cast<int>(result_size), result_id,
                                                      &io_failure)) {
    return;
  }
  std::lock_guard<std::mutex> hold(call_results_lock_);
  auto entry = call_results_.find(call);
  if (entry == call_results_.end()) return;
  CallResultHandler handler = std::move(entry->second);
  call_results_.erase(entry);
  handler(scratch.data(), scratch.size(), io_failure);
}

// Messages with no handler are dropped unseen.
void CallbackPump::deliver_callback(std::int32_t callback_id, const void* data, std::size_t size) {
  std::lock_guard<std::mutex> hold(handlers_lock_);
  auto entry = handlers_.find(callback_id);
  if (entry != handlers_.end()) entry->second(data, size);
}

void CallbackPump::register_callback(std::int32_t callback_id, CallbackHandler handler) {
  CallbackHandler replaced;  // released after the lock, like every handler that goes away
  std::lock_guard<std::mutex> hold(handlers_lock_);
  CallbackHandler& slot = handlers_[callback_id];
  replaced = std::move(slot);
  slot = std::move(handler);
}

void CallbackPump::remove_callback(std::int32_t callback_id) {
  CallbackHandler removed;  // released after the lock
  std::lock_guard<std::mutex> hold(handlers_lock_);
  auto entry = handlers_.find(callback_id);
  if (entry == handlers_.end()) return;
  removed = std::move(entry->second);
  handlers_.erase(entry);
}

void CallbackPump::register_call_result(SteamAPICall_t call, CallResultHandler handler) {
  CallResultHandler replaced;  // released after the lock
  std::lock_guard<std::mutex> hold(call_results_lock_);
  CallResultHandler& slot = call_results_[call];
  replaced = std::move(slot);
  slot = std::move(handler);
}

void CallbackPump::discard_all() {
  // Handlers are moved out and destroyed outside the lock: what they hold (a share of the failure
  // list, a sending end) may take locks of its own.
  std::map<std::int32_t, CallbackHandler> old_handlers;
  {
    std::lock_guard<std::mutex> hold(handlers_lock_);
    old_handlers.swap(handlers_);
  }
  old_handlers.clear();
  std::unordered_map<SteamAPICall_t, CallResultHandler> old_call_results;
  {
    std::lock_guard<std::mutex> hold(call_results_lock_);
    old_call_results.swap(call_results_);
  }
  old_call_results.clear();
}

void CallbackHandle::release() {
  const std::shared_ptr<CallbackPump> pump = pump_.lock();
  pump_.reset();
  if (pump) pump->remove_callback(callback_id_);  // after shutdown the handler went with the table
}

}  // namespace quennet
