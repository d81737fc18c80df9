// The sizewalk program on Windows: a program without a console window, so
// that a scheduled run shows nothing but its message boxes. Started without
// command text (from the Start menu or a double click) it opens the window.
#include <memory>
#include <string>
#include <vector>

#include "platform/history_system.h"
#include "platform/platform.h"
#include "platform/win32/volumes.h"
#include "platform/win32/win.h"
#include "startup/history_command.h"
#include "startup/module1.h"
#include "window/win32/window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    using namespace sizewalk;
    const std::wstring_view wide_line = GetCommandLineW();
    const std::u16string command_line(wide_line.begin(), wide_line.end());
    const std::u16string_view text = win32::CommandTextOf(command_line);
    // Windows hands over one unsplit line; as the only argument it becomes
    // CommandText unchanged.
    const std::vector<std::string> arguments = {win32::Utf16ToUtf8(text)};
    if (IsHistoryCommand(arguments)) {
        return RunHistoryCommand(arguments, *MakeSystemHistory(), *MakeSystemConsole());
    }
    SystemPlatform system;
    const WindowStart window = [&system, instance] {
        win32::Win32VolumeService volumes;
        win32::Win32Beeper beeper;
        win32::ShellUrlOpener urls;
        const std::unique_ptr<HistorySystem> history = MakeSystemHistory();
        win32::WindowMessageBoxes boxes;
        system.SetMessageBoxes(&boxes);
        int status = 0;
        {
            win32::Win32Window form(
                instance, WindowServices{system.Get(), volumes, beeper, urls, *history, {}});
            boxes.SetOwner(form.hwnd());
            form.form().Form_Load();
            status = form.Run();
        }
        system.SetMessageBoxes(nullptr);
        return status;
    };
    return Main(arguments, system.Get(), window);
}
