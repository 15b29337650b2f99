#include "platform/callback_records.h"

namespace quennet::platform {

// Packed to 8 bytes: 4 bytes of padding after the application id and 4 at the end.
const DownloadResultLayout DOWNLOAD_RESULT_LAYOUT = {8, 16, 24};

}  // namespace quennet::platform
