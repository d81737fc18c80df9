#include "startup/program_win32.h"

#include <memory>
#include <string>
#include <vector>

#include "platform/history_system.h"
#include "platform/platform.h"
#include "platform/win32/volumes.h"
#include "startup/history_command.h"
#include "startup/module1.h"
#include "window/win32/win32_services.h"
#include "window/win32/window.h"

namespace sizewalk::win32 {
namespace {

// The console shows the program's UTF-8 (the copyright sign of --version, a
// path in a message) while the program runs; its own code page comes back
// afterwards.
class Utf8Console {
  public:
    explicit Utf8Console(Subsystem subsystem)
        : previous_(subsystem == Subsystem::kConsole ? GetConsoleOutputCP() : 0) {
        if (previous_ != 0) {
            SetConsoleOutputCP(CP_UTF8);
        }
    }
    ~Utf8Console() {
        if (previous_ != 0) {
            SetConsoleOutputCP(previous_);
        }
    }
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

  private:
    UINT previous_;
};

int RunWindow(HINSTANCE instance, SystemPlatform& system) {
    VolumeService volumes;
    Win32Beeper beeper;
    ShellUrlOpener urls;
    const std::unique_ptr<HistorySystem> history = MakeSystemHistory();
    WindowMessageBoxes boxes;
    system.SetMessageBoxes(&boxes);
    int status = 0;
    {
        Win32Window form(instance,
                         WindowServices{system.Get(), volumes, beeper, urls, *history, {}});
        boxes.SetOwner(form.hwnd());
        form.form().Form_Load();
        status = form.Run();
    }
    system.SetMessageBoxes(nullptr);
    return status;
}

}  // namespace

int RunProgram(HINSTANCE instance, std::wstring_view command_line, Subsystem subsystem) {
    // A drive without a medium fails like any other unreadable path, never
    // with the system's "insert a disk" box, which in a scheduled task
    // would wait for nobody.
    SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS);
    const Utf8Console console(subsystem);
    const std::u16string line(command_line.begin(), command_line.end());
    // Windows hands over one unsplit line; as the only argument it becomes
    // CommandText unchanged.
    const std::vector<std::string> arguments = {Utf16ToUtf8(CommandTextOf(line))};
    if (IsHistoryCommand(arguments)) {
        return RunHistoryCommand(arguments, *MakeSystemHistory(), *MakeSystemConsole());
    }
    SystemPlatform system;
    if (!arguments[0].empty()) {
        system.CatchStopSignals();  // an interrupted run leaves its file as it was
    }
    return Main(arguments, system.Get(),
                [&system, instance] { return RunWindow(instance, system); });
}

}  // namespace sizewalk::win32
