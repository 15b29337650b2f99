// Failed downloads that Steam announces, collected for the download command.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "common/workshop_id.h"
#include "steam/result_codes.h"
#include "steam/session.h"

namespace quennet {

struct DownloadFailure {
  WorkshopId id;
  SteamFailure failure;
};

// Failed DayZ item downloads, in the order Steam announced them. Shared between the run driver and
// the download-result handler; the handler posts inside the pump, the download command drains it
// once per pass.
class DownloadFailureList {
 public:
  void post(DownloadFailure failure);
  // Every entry, in arrival order; the list is left empty.
  std::vector<DownloadFailure> take_all();

 private:
  std::mutex lock_;  // locked like the pump's tables; one thread only in practice
  std::vector<DownloadFailure> entries_;
};

struct DownloadWatch {
  std::shared_ptr<DownloadFailureList> failures;
  CallbackHandle handle;
};

// Creates an empty list and registers the download-result handler that fills it: a notice for
// DayZ with a result other than success becomes an entry; every other notice is ignored.
DownloadWatch watch_download_results(const SteamClient& client);

}  // namespace quennet
