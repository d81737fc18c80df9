#include "startup/window_program.h"

#include "common/reports.h"
#include "startup/module1.h"

namespace sizewalk {
namespace {

const char* IconName(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::kWarning:
            return "warning";
        case MessageIcon::kInformation:
            return "information";
        case MessageIcon::kNone:
            break;
    }
    return "none";
}

}  // namespace

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
    const std::vector<std::string> arguments = {"--message-box", IconName(icon), title, text};
    for (const std::string& path : WindowProgramCandidates(launcher_.OwnPath())) {
        const Outcome<int> shown = launcher_.Run(path, arguments);
        if (shown.ok() || shown.error().number != errnum::kPathNotFound) {
            boxes_wanted_ = shown.ok() && shown.value() == 0;
            return;
        }
    }
}

}  // namespace sizewalk
