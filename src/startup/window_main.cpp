// The window program: the window, or one modal message box for an
// unattended run of sizewalk, which starts it (MessageBoxRequested).
#include <QApplication>
#include <QIcon>
#include <QLoggingCategory>
#include <clocale>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/reports.h"
#include "platform/history_system.h"
#include "platform/platform.h"
#include "platform/posix/history_files.h"
#include "platform/posix/volumes.h"
#include "startup/module1.h"
#include "startup/window_program.h"
#include "window/qt/qt_services.h"
#include "window/qt/window.h"

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
    posix::VolumeService volumes;
    const std::unique_ptr<HistorySystem> history = MakeSystemHistory();
    // The pages the History link left in earlier sessions.
    posix::RemoveOldHistoryPages(std::time(nullptr));
    system.SetMessageBoxes(&boxes);
    system.SetTextEditor(&editor);
    QtWindow* shown = nullptr;
    const WindowServices services{
        system.Get(), volumes, beeper, opener, *history, [&shown](int status) {
            if (shown != nullptr) {
                shown->hide();
            }
            QCoreApplication::exit(status);
        }};
    QtWindow window(services);
    shown = &window;
    boxes.SetParent(&window);
    window.form().Form_Load();
    window.show();
    const int status = QApplication::exec();
    system.SetMessageBoxes(nullptr);
    system.SetTextEditor(nullptr);
    return status;
}

// Exits at once with a non-zero status when the display does not answer, so
// that the unattended run waiting for the box goes on.
int ShowMessageBox(char* program, const sizewalk::MessageBoxRequest& request) {
    using namespace sizewalk;
    // The message is on standard error already; Qt's own complaints about a
    // display that does not answer would only bury it.
    if (AllowPlatformFallback()) {
        QLoggingCategory::setFilterRules(QStringLiteral("qt.qpa.*=false"));
    }
    // The texts are untrusted bytes: Qt must not read them as its options.
    int argc = 1;
    char* argv[] = {program, nullptr};
    QApplication app(argc, argv);
    if (!ShowsWindows(QApplication::platformName())) {
        return 1;
    }
    QApplication::setWindowIcon(WindowIcon());
    QtMessageBoxes boxes;
    boxes.Show(request.text, request.icon, request.title);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    sizewalk::PrepareProcess();
    std::setlocale(LC_ALL, "");
    const std::optional<sizewalk::MessageBoxRequest> box =
        sizewalk::MessageBoxRequested(std::vector<std::string>(argv + 1, argv + argc));
    if (box) {
        return ShowMessageBox(argv[0], *box);
    }
    if (argc != 1) {
        std::fputs("sizewalk-window: started by sizewalk; run sizewalk instead.\n", stderr);
        return sizewalk::kExitInvalidCommandLine;
    }
    sizewalk::SystemPlatform system;
    // The window's own message boxes replace these once it runs.
    return sizewalk::Main({}, system.Get(), [&] { return RunWindow(argc, argv, system); });
}
