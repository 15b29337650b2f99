#include "platform/callback_records.h"

namespace quennet::platform {

// Packed to 4 bytes: no gap after the application id, none at the end.
const DownloadResultLayout DOWNLOAD_RESULT_LAYOUT = {4, 12, 16};

}  // namespace quennet::platform
