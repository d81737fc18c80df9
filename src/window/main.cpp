// The sizewalk program with its window. With arguments it runs unattended
// and starts Qt only if a message box is to be shown.
#include <QApplication>
#include <QIcon>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix_volumes.h"
#include "startup/module1.h"
#include "startup/reports.h"
#include "window/form1.h"
#include "window/qt_services.h"

namespace {

QIcon WindowIcon() {
    QIcon icon(QStringLiteral(":/icons/sizewalk-32.png"));
    icon.addFile(QStringLiteral(":/icons/sizewalk.svg"));
    return icon;
}

int RunWindow(int& argc, char** argv, sizewalk::SystemPlatform& system) {
    using namespace sizewalk;
    const bool fallback = AllowPlatformFallback();
    QApplication app(argc, argv);
    if (fallback && !ShowsWindows(QApplication::platformName())) {
        std::fputs("sizewalk: the display does not answer; no window can be shown.\n", stderr);
        return kExitInvalidCommandLine;
    }
    QApplication::setWindowIcon(WindowIcon());

    QtMessageBoxes boxes;
    DesktopOpener opener;
    DesktopTextEditor editor(system.Get().editor);
    QtBeeper beeper;
    PosixVolumeService volumes;
    system.SetMessageBoxes(&boxes);
    system.SetTextEditor(&editor);
    Form1* shown = nullptr;
    const WindowServices services{system.Get(), volumes, beeper, opener, [&shown](int status) {
                                      if (shown != nullptr) {
                                          shown->hide();
                                      }
                                      QCoreApplication::exit(status);
                                  }};
    Form1 form(services);
    shown = &form;
    boxes.SetParent(&form);
    form.Form_Load();
    form.show();
    const int status = QApplication::exec();
    system.SetMessageBoxes(nullptr);
    system.SetTextEditor(nullptr);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    sizewalk::SystemPlatform system;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    sizewalk::UnattendedMessages messages(argc, argv);
    if (!arguments.empty()) {
        system.SetMessageBoxes(&messages);
    }
    sizewalk::WindowStart window;
    if (sizewalk::DisplayConfigured() || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        window = [&] { return RunWindow(argc, argv, system); };
    }
    return sizewalk::Main(arguments, system.Get(), window);
}
