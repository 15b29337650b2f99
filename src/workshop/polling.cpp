#include "workshop/polling.h"

namespace quennet {

std::optional<Error> call_error(const CallOutcome& outcome, WorkshopId id, const CallWording& wording) {
  if (const auto* failed = std::get_if<Failed>(&outcome)) {
    return item_error(failed->failure.code,
                      std::string(wording.failed) + " " + decimal(id) + " failed: " + failed->failure.message,
                      id);
  }
  if (std::holds_alternative<Dropped>(outcome)) {
    return item_error(ErrorCode::Unknown,
                      std::string(wording.dropped) + " " + decimal(id) + " " + wording.dropped_end, id);
  }
  return std::nullopt;
}

}  // namespace quennet
