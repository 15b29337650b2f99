// What a handler of Steam's callbacks and call results is, and the handle of a registration: what
// the rest of the program sees of the session's callback pump (steam/pump.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

namespace quennet {

// A repeatable handler for one callback id: the address and size of the callback's data record.
using CallbackHandler = std::function<void(const void* data, std::size_t size)>;
// A one-shot handler for one API call: the fetched result record, its size, the I/O-failure flag.
using CallResultHandler = std::function<void(const void* result, std::size_t size, bool io_failure)>;

class CallbackPump;

// The registration of one callback handler. It does not keep the session open; released while the
// session is open it removes the handler, released after shutdown it does nothing.
class CallbackHandle {
 public:
  CallbackHandle(std::weak_ptr<CallbackPump> pump, std::int32_t callback_id)
      : pump_(std::move(pump)), callback_id_(callback_id) {}
  CallbackHandle(CallbackHandle&& other) noexcept = default;
  CallbackHandle& operator=(CallbackHandle&&) = delete;
  ~CallbackHandle() { release(); }

  void release();

 private:
  std::weak_ptr<CallbackPump> pump_;
  std::int32_t callback_id_;
};

}  // namespace quennet
