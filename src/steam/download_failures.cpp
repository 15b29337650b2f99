#include "steam/download_failures.h"

#include "platform/callback_records.h"
#include "steam/raw_records.h"

namespace quennet {

namespace {

constexpr std::int32_t DOWNLOAD_RESULT_CALLBACK = 3406;

}  // namespace

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
  CallbackHandle handle = client.register_callback(
      DOWNLOAD_RESULT_CALLBACK, [failures](const void* data, std::size_t size) {
        const platform::DownloadResultLayout& layout = platform::DOWNLOAD_RESULT_LAYOUT;
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
