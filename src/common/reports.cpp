#include "common/reports.h"

#include <new>

#include "common/globals.h"

namespace sizewalk {

std::string ErrorReport(const Error& error, char letter) {
    return error.description + "\r\n\r\n(Message " + letter + std::to_string(error.number) + ")";
}

void ShowErrorReport(MessageBoxService& messages, const Error& error, char letter) {
    messages.Show(ErrorReport(error, letter), MessageIcon::kWarning, MessageTitle);
}

Error ErrorFromException(const std::exception& exception) {
    if (dynamic_cast<const std::bad_alloc*>(&exception) != nullptr) {
        return MakeError(errnum::kOutOfMemory);
    }
    return MakeError(errnum::kInternal, exception.what());
}

}  // namespace sizewalk
