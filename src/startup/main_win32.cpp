// The sizewalk program on Windows: a program without a console window, so
// that a scheduled run shows nothing but its message boxes.
#include <string>
#include <vector>

#include "common/globals.h"
#include "common/identity.h"
#include "common/reports.h"
#include "platform/history_system.h"
#include "platform/platform.h"
#include "platform/win32/win.h"
#include "startup/history_command.h"
#include "startup/module1.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::wstring_view wide_line = GetCommandLineW();
    const std::u16string command_line(wide_line.begin(), wide_line.end());
    const std::u16string_view text = sizewalk::win32::CommandTextOf(command_line);
    const std::vector<std::string> arguments = {sizewalk::win32::Utf16ToUtf8(text)};
    if (sizewalk::IsHistoryCommand(arguments)) {
        return sizewalk::RunHistoryCommand(arguments, *sizewalk::MakeSystemHistory(),
                                           *sizewalk::MakeSystemConsole());
    }
    sizewalk::SystemPlatform system;
    const sizewalk::Platform platform = system.Get();
    // This build has no window: a start without command text (a double
    // click) shows how the program is run instead.
    const sizewalk::WindowStart usage = [&platform] {
        platform.messages.Show(sizewalk::HelpText(), sizewalk::MessageIcon::kNone,
                               sizewalk::MessageTitle);
        return sizewalk::kExitInvalidCommandLine;
    };
    // Windows hands over one unsplit line; as the only argument it becomes
    // CommandText unchanged.
    return sizewalk::Main(arguments, platform, usage);
}
