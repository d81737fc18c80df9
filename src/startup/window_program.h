// The window lives in a program of its own, so that an unattended run loads
// no GUI libraries; this side starts it for the window and for message boxes.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/message_box.h"
#include "platform/program_launcher.h"

namespace sizewalk {

// What sizewalk asks of the window program for a message box:
// "--message-box ICON TITLE TEXT", ICON one of "none", "warning",
// "information".
struct MessageBoxRequest {
    MessageIcon icon = MessageIcon::kNone;
    std::string title;
    std::string text;
};
std::vector<std::string> MessageBoxArguments(const MessageBoxRequest& request);
// The request the window program's arguments (after its name) make, if they
// are one; an icon it does not know is none.
std::optional<MessageBoxRequest> MessageBoxRequested(const std::vector<std::string>& arguments);

// Where the window program may lie beside the program at `own_path`, best
// first: in the same directory (the build tree), then in the package's
// libexec directory (an installed tree). None when `own_path` is unknown.
std::vector<std::string> WindowProgramCandidates(const std::string& own_path);

// Replaces this process with the window program. Returns only when it could
// not be started: then says why (one line) and prints the help text on
// `stream`, and returns the exit status of a start without a window.
int StartWindowProgram(ProgramLauncher& launcher, const std::vector<std::string>& arguments,
                       std::FILE* stream);

// Messages of an unattended run: always on `stream`, one line each; also in
// a modal box shown by the window program when `boxes_wanted`
// (MessageBoxesWanted()). A window program that cannot show a box (a
// display that does not answer) is not asked again.
class WindowProgramMessages final : public MessageBoxService {
  public:
    WindowProgramMessages(ProgramLauncher& launcher, bool boxes_wanted, std::FILE* stream)
        : launcher_(launcher), boxes_wanted_(boxes_wanted), stream_(stream) {}
    void Show(const std::string& text, MessageIcon icon, const std::string& title) override;
    void Notice(const std::string& line) override { stream_.Notice(line); }

  private:
    ProgramLauncher& launcher_;
    bool boxes_wanted_;
    StreamMessageBox stream_;
};

}  // namespace sizewalk
