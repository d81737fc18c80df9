#include "common/reports.h"

#include <new>

#include "common/globals.h"

namespace sizewalk {

std::string ErrorReport(const Error& error, const FailurePlace& place) {
    return error.description + "\r\n\r\n(Message " + place.letter + std::to_string(error.number) +
           ")";
}

void ShowErrorReport(MessageBoxService& messages, const Error& error, const FailurePlace& place) {
    messages.Show(ErrorReport(error, place), MessageIcon::kWarning, MessageTitle);
}

Error ErrorFromException(const std::exception& exception) {
    if (dynamic_cast<const std::bad_alloc*>(&exception) != nullptr) {
        return MakeError(errnum::kOutOfMemory);
    }
    return MakeError(errnum::kInternal, exception.what());
}

}  // namespace sizewalk
