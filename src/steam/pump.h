// The callback pump: Steam's callbacks and call results, delivered to their handlers on the thread
// that runs it, with manual dispatch. The session's own part: the rest of the program registers its
// handlers through SteamClient (steam/session.h), with the types of steam/callbacks.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "steam/callbacks.h"
#include "steam/library.h"

namespace quennet {

// Callback id of the call-completed notice, which the pump turns into a call-result delivery.
inline constexpr std::int32_t CALL_COMPLETED_CALLBACK = 703;

// The handler tables of one session, and the pass that feeds them. The program runs on one thread;
// the tables still have their locks, as Steam's own contract for handlers asks, and they are never
// contended.
class CallbackPump {
 public:
  explicit CallbackPump(const SteamApi& api) : api_(api) {}

  // One pass: every pending callback to its handler, every completed call whose result can be
  // fetched to its one-shot handler. Never waits.
  void run_callbacks();

  // Stores `handler` for `callback_id`, replacing (and releasing) any earlier one. Handlers run
  // inside run_callbacks() with the handler table locked: they must not register or release
  // handlers.
  void register_callback(std::int32_t callback_id, CallbackHandler handler);
  void remove_callback(std::int32_t callback_id);

  // Stores the one-shot `handler` for `call`, releasing uncalled any handler still pending there.
  void register_call_result(SteamAPICall_t call, CallResultHandler handler);

  // At shutdown: every callback handler, then every pending call result, released uncalled.
  void discard_all();

 private:
  void deliver_call_result(HSteamPipe pipe, const void* notice, std::size_t size,
                           std::vector<unsigned char>& scratch);
  void deliver_callback(std::int32_t callback_id, const void* data, std::size_t size);

  const SteamApi& api_;
  std::mutex handlers_lock_;
  std::map<std::int32_t, CallbackHandler> handlers_;
  std::mutex call_results_lock_;
  std::unordered_map<SteamAPICall_t, CallResultHandler> call_results_;
};

}  // namespace quennet
