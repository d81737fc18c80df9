// The sizewalk program. It loads no GUI libraries: where the build has the
// window, a start without arguments becomes the window program, and the
// message boxes of an unattended run are shown by that program.
#include <clocale>
#include <string>
#include <vector>

#include "platform/history_system.h"
#include "platform/platform.h"
#include "startup/history_command.h"
#include "startup/module1.h"

#ifdef SIZEWALK_WINDOW_PROGRAM
#include "platform/posix/program_launcher.h"
#include "startup/window_program.h"
#endif

int main(int argc, char** argv) {
    sizewalk::PrepareProcess();
    std::setlocale(LC_ALL, "");
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (sizewalk::IsHistoryCommand(arguments)) {
        return sizewalk::RunHistoryCommand(arguments, *sizewalk::MakeSystemHistory(),
                                           *sizewalk::MakeSystemConsole());
    }
    sizewalk::SystemPlatform system;
    if (!arguments.empty()) {
        system.CatchStopSignals();  // an interrupted run leaves its file as it was
    }
#ifdef SIZEWALK_WINDOW_PROGRAM
    using namespace sizewalk;
    posix::ProgramLauncher launcher;
    WindowProgramMessages messages(launcher, posix::MessageBoxesWanted(), stderr);
    if (!arguments.empty()) {
        system.SetMessageBoxes(&messages);
    }
    // Without a display the window program could only fail: print the help.
    WindowStart window;
    if (posix::DisplayConfigured() || posix::EnvironmentSet("QT_QPA_PLATFORM")) {
        window = [&] { return StartWindowProgram(launcher, arguments, stderr); };
    }
    return Main(arguments, system.Get(), window);
#else
    return sizewalk::Main(arguments, system.Get(), {});
#endif
}
