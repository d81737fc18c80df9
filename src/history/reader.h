// Reads the tracking files as they really are: written by this program on
// Linux or Windows or by the original Windows program, in any locale (mixed
// in one file), CR LF or LF, UTF-8 or an 8-bit code page. A line that cannot
// be read is skipped and counted in the file's summary.
#pragma once

#include <optional>
#include <string_view>

#include "common/tracking_file/layout.h"
#include "history/model.h"
#include "platform/history_system.h"

namespace sizewalk::history {

// Reads `file` to its end in large blocks into `builder`, which has begun
// the file. Fails only when reading fails.
Status ReadTrackingFile(InputFile& file, Layout layout, HistoryBuilder& builder);

// The same for bytes in memory.
void ParseTrackingBytes(std::string_view bytes, Layout layout, HistoryBuilder& builder);

}  // namespace sizewalk::history
