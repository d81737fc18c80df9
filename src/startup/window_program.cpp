#include "startup/window_program.h"

#include <utility>

#include "common/reports.h"
#include "startup/module1.h"

namespace sizewalk {
namespace {

constexpr std::string_view kMessageBoxOption = "--message-box";
constexpr std::pair<MessageIcon, std::string_view> kIconNames[] = {
    {MessageIcon::kNone, "none"},
    {MessageIcon::kWarning, "warning"},
    {MessageIcon::kInformation, "information"},
};

}  // namespace

std::vector<std::string> WindowProgramCandidates(const std::string& own_path) {
    const std::size_t slash = own_path.rfind('/');
    if (slash == std::string::npos) {
        return {};
    }
    const std::string dir = own_path.substr(0, slash + 1);
    return {dir + "sizewalk-window", dir + SIZEWALK_WINDOW_DIR_FROM_BIN "sizewalk-window"};
}

std::vector<std::string> MessageBoxArguments(const MessageBoxRequest& request) {
    std::string_view icon = kIconNames[0].second;
    for (const auto& [known, name] : kIconNames) {
        icon = known == request.icon ? name : icon;
    }
    return {std::string(kMessageBoxOption), std::string(icon), request.title, request.text};
}

std::optional<MessageBoxRequest> MessageBoxRequested(const std::vector<std::string>& arguments) {
    if (arguments.size() != 4 || arguments[0] != kMessageBoxOption) {
        return std::nullopt;
    }
    MessageBoxRequest request{MessageIcon::kNone, arguments[2], arguments[3]};
    for (const auto& [icon, name] : kIconNames) {
        request.icon = name == arguments[1] ? icon : request.icon;
    }
    return request;
}

int StartWindowProgram(ProgramLauncher& launcher, const std::vector<std::string>& arguments,
                       std::FILE* stream) {
    const std::vector<std::string> candidates = WindowProgramCandidates(launcher.OwnPath());
    std::string reason = "the path of this program is unknown";
    if (!candidates.empty()) {
        reason = "sizewalk-window is not at " + candidates.front();
    }
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const Error error = launcher.Replace(candidates[i], arguments);
        // A missing candidate leaves the next one to try; any other failure is final.
        if (error.number != errnum::kPathNotFound) {
            reason = error.description;
            break;
        }
        if (i > 0) {
            reason += " nor at " + candidates[i];
        }
    }
    std::fprintf(stream, "sizewalk: no window: %s\n", reason.c_str());
    PrintHelp(stream);
    return kExitInvalidCommandLine;
}

void WindowProgramMessages::Show(const std::string& text, MessageIcon icon,
                                 const std::string& title) {
    stream_.Show(text, icon, title);
    if (!boxes_wanted_) {
        return;
    }
    boxes_wanted_ = false;
    const std::vector<std::string> arguments = MessageBoxArguments({icon, title, text});
    for (const std::string& path : WindowProgramCandidates(launcher_.OwnPath())) {
        const Outcome<int> shown = launcher_.Run(path, arguments);
        if (shown.ok() || shown.error().number != errnum::kPathNotFound) {
            boxes_wanted_ = shown.ok() && shown.value() == 0;
            return;
        }
    }
}

}  // namespace sizewalk
