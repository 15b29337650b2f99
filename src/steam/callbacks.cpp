#include "steam/callbacks.h"

#include <algorithm>
#include <cstring>

#include "platform/record_packing.h"

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

template <typename T>
T read_at(const void* record, std::size_t offset) {
  T value;
  std::memcpy(&value, static_cast<const unsigned char*>(record) + offset, sizeof value);
  return value;
}

// The download-result notice (3406): application id (32 bits) at 0, then the item id (64 bits) and
// the result code (32 bits), aligned as the library packs its records on this OS.
struct DownloadResultLayout {
  std::size_t item_offset;
  std::size_t result_offset;
  std::size_t size;
};

DownloadResultLayout download_result_layout() {
  const std::size_t packing = std::min<std::size_t>(platform::CALLBACK_RECORD_PACKING, 8);
  const std::size_t item_offset = 4 + (packing - 4 % packing) % packing;
  const std::size_t result_offset = item_offset + 8;
  const std::size_t end = result_offset + 4;
  return {item_offset, result_offset, end + (packing - end % packing) % packing};
}

// The one-shot handler of a subscribe or unsubscribe call: turns its result record into the outcome
// and hands it to the waiting side.
CallResultHandler workshop_completion(OutcomeSender sender) {
  auto shared_sender = std::make_shared<OutcomeSender>(std::move(sender));
  return [shared_sender](const void* result, std::size_t size, bool io_failure) {
    std::int32_t code = 0;  // a record too short to hold a code reads as the unlisted code 0
    if (io_failure) {
      code = STEAM_RESULT_IO_FAILURE;
    } else if (result != nullptr && size >= sizeof code) {
      code = read_at<std::int32_t>(result, 0);
    }
    if (code == STEAM_RESULT_OK) {
      shared_sender->send(Succeeded{});
    } else {
      shared_sender->send(Failed{steam_failure(SteamError::from_eresult(code))});
    }
  };
}

}  // namespace

void SteamClient::run_callbacks() const {
  SessionState& state = *state_;
  const SteamApi& api = state.api;
  const HSteamPipe pipe = api.SteamAPI_GetHSteamPipe();
  api.SteamAPI_ManualDispatch_RunFrame(pipe);

  std::vector<unsigned char> scratch;  // result records of this pass
  alignas(8) unsigned char message[CALLBACK_MESSAGE_SIZE] = {};
  while (api.SteamAPI_ManualDispatch_GetNextCallback(pipe, message)) {
    const auto callback_id = read_at<std::int32_t>(message, 4);
    const auto* data = read_at<const unsigned char*>(message, 8);
    const auto size = read_at<std::int32_t>(message, 16);
    const std::size_t data_size = size > 0 ? static_cast<std::size_t>(size) : 0;

    if (callback_id == CALL_COMPLETED_CALLBACK) {
      if (data != nullptr && data_size >= CALL_COMPLETED_SIZE) {
        const auto call = read_at<SteamAPICall_t>(data, 0);
        const auto result_id = read_at<std::int32_t>(data, 8);
        const auto result_size = read_at<std::uint32_t>(data, 12);
        if (result_size <= MAX_RESULT_SIZE) {
          scratch.assign(result_size, 0);
          bool io_failure = false;
          if (api.SteamAPI_ManualDispatch_GetAPICallResult(pipe, call, scratch.data(),
                                                           static_cast<int>(result_size), result_id,
                                                           &io_failure)) {
            std::lock_guard<std::mutex> hold(state.call_results_lock);
            auto entry = state.call_results.find(call);
            if (entry != state.call_results.end()) {
              CallResultHandler handler = std::move(entry->second);
              state.call_results.erase(entry);
              handler(scratch.data(), scratch.size(), io_failure);
            }
          }
        }
      }
    } else {
      std::lock_guard<std::mutex> hold(state.handlers_lock);
      auto entry = state.handlers.find(callback_id);
      if (entry != state.handlers.end()) entry->second(data, data_size);
    }
    api.SteamAPI_ManualDispatch_FreeLastCallback(pipe);
  }
}

CallbackHandle SteamClient::register_callback(std::int32_t callback_id, CallbackHandler handler) const {
  CallbackHandler replaced;  // released after the lock, like every handler that goes away
  {
    std::lock_guard<std::mutex> hold(state_->handlers_lock);
    CallbackHandler& slot = state_->handlers[callback_id];
    replaced = std::move(slot);
    slot = std::move(handler);
  }
  return CallbackHandle(state_, callback_id);
}

void SteamClient::register_call_result(SteamAPICall_t call, CallResultHandler handler) const {
  CallResultHandler replaced;
  {
    std::lock_guard<std::mutex> hold(state_->call_results_lock);
    CallResultHandler& slot = state_->call_results[call];
    replaced = std::move(slot);
    slot = std::move(handler);
  }
}

void CallbackHandle::release() {
  const std::shared_ptr<SessionState> session = session_.lock();
  session_.reset();
  if (!session) return;  // shut down already: the handler went with the table
  CallbackHandler removed;
  {
    std::lock_guard<std::mutex> hold(session->handlers_lock);
    auto entry = session->handlers.find(callback_id_);
    if (entry == session->handlers.end()) return;
    removed = std::move(entry->second);
    session->handlers.erase(entry);
  }
}

namespace {

// Makes the asynchronous call and registers its completion under the handle it returns.
CallOutcomeReceiver workshop_call(const SteamClient& client, SteamUGCObject* ugc,
                                  SteamAPICall_t (*call)(SteamUGCObject*, PublishedFileId_t),
                                  WorkshopId id) {
  OutcomeChannel channel = make_outcome_queue();
  client.register_call_result(call(ugc, id), workshop_completion(std::move(channel.sender)));
  return std::move(channel.receiver);
}

}  // namespace

CallOutcomeReceiver UgcInterface::subscribe_item(WorkshopId id) const {
  return workshop_call(client_, pointer(), api().SteamAPI_ISteamUGC_SubscribeItem, id);
}

CallOutcomeReceiver UgcInterface::unsubscribe_item(WorkshopId id) const {
  return workshop_call(client_, pointer(), api().SteamAPI_ISteamUGC_UnsubscribeItem, id);
}

void DownloadFailureList::post(DownloadFailure failure) {
  std::lock_guard<std::mutex> hold(lock_);
  entries_.push_back(std::move(failure));
}

std::vector<DownloadFailure> DownloadFailureList::take_all() {
  std::vector<DownloadFailure> taken;
  std::lock_guard<std::mutex> hold(lock_);
  taken.swap(entries_);
  return taken;
}

DownloadWatch watch_download_results(const SteamClient& client) {
  auto failures = std::make_shared<DownloadFailureList>();
  const DownloadResultLayout layout = download_result_layout();
  CallbackHandle handle = client.register_callback(
      DOWNLOAD_RESULT_CALLBACK, [failures, layout](const void* data, std::size_t size) {
        if (data == nullptr || size < layout.size) return;  // not a notice we can read
        const auto result = read_at<std::int32_t>(data, layout.result_offset);
        if (result == STEAM_RESULT_OK) return;  // completion is judged by polling
        if (read_at<std::uint32_t>(data, 0) != DAYZ_APP_ID) return;
        const auto id = read_at<WorkshopId>(data, layout.item_offset);
        failures->post(DownloadFailure{id, steam_failure(SteamError::from_eresult(result))});
      });
  return DownloadWatch{std::move(failures), std::move(handle)};
}

}  // namespace quennet
