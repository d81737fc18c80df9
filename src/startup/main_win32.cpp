// The sizewalk program on Windows: a program without a console window, so
// that a scheduled run shows nothing but its message boxes.
#include <string>

#include "common/globals.h"
#include "common/identity.h"
#include "common/reports.h"
#include "platform/platform.h"
#include "platform/win32/win.h"
#include "startup/module1.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    sizewalk::SystemPlatform system;
    const sizewalk::Platform platform = system.Get();
    const std::wstring_view wide_line = GetCommandLineW();
    const std::u16string command_line(wide_line.begin(), wide_line.end());
    const std::u16string_view text = sizewalk::win32::CommandTextOf(command_line);
    // This build has no window: a start without command text (a double
    // click) shows how the program is run instead.
    const sizewalk::WindowStart usage = [&platform] {
        platform.messages.Show(sizewalk::HelpText(), sizewalk::MessageIcon::kNone,
                               sizewalk::MessageTitle);
        return sizewalk::kExitInvalidCommandLine;
    };
    // Windows hands over one unsplit line; as the only argument it becomes
    // CommandText unchanged.
    return sizewalk::Main({sizewalk::win32::Utf16ToUtf8(text)}, platform, usage);
}
