// The error report every routine shows on a failure.
#pragma once

#include <string>

#include "common/failure_places.h"
#include "platform/error.h"
#include "platform/message_box.h"

namespace sizewalk {

// Exit statuses, so that a scheduler can tell what happened.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFatal = 1;
inline constexpr int kExitInvalidCommandLine = 2;
// The file was written, but some subdirectories could not be measured.
inline constexpr int kExitIncomplete = 3;
// Plus the signal's number: a run stopped by a signal, its file left as it was.
inline constexpr int kExitSignalBase = 128;

// "<description>\r\n\r\n(Message <letter><number>)"
std::string ErrorReport(const Error& error, const FailurePlace& place);

// Shows the report with the warning icon under MessageTitle.
void ShowErrorReport(MessageBoxService& messages, const Error& error, const FailurePlace& place);

// The failure behind an exception that escaped a routine.
Error ErrorFromException(const std::exception& exception);

}  // namespace sizewalk
