// The real services of a POSIX system.
#include <fcntl.h>
#include <langinfo.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/errors.h"
#include "platform/posix/file_service.h"
#include "platform/posix/folder_service.h"
#include "platform/posix/program_launcher.h"

extern char** environ;

namespace sizewalk::posix {
namespace {

class Clock final : public sizewalk::Clock {
  public:
    LocalTime Now() override {
        const std::time_t now = std::time(nullptr);
        std::tm parts{};
        localtime_r(&now, &parts);
        return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                         parts.tm_hour,        parts.tm_min,     parts.tm_sec};
    }
};

// Hands the file to the desktop's opener, without a shell and without waiting.
class XdgTextEditor final : public TextEditor {
  public:
    Status Open(const std::string& path) override {
        // Earlier openers have normally exited by now; collect them.
        std::erase_if(started_, [](pid_t pid) { return waitpid(pid, nullptr, WNOHANG) != 0; });
        std::string program = "xdg-open";
        std::string argument = path;
        char* argv[] = {program.data(), argument.data(), nullptr};
        pid_t pid = 0;
        const DefaultSignals signals;
        const int err = posix_spawnp(&pid, program.c_str(), nullptr, signals.get(), argv, environ);
        if (err != 0) {
            return StartFailure(RuntimeNumber(err), program, path, SystemText(err));
        }
        started_.push_back(pid);
        return std::nullopt;
    }

  private:
    std::vector<pid_t> started_;
};

// The one flag a signal handler can reach: a process has one set of handlers.
StopFlag stop_requested{0};

extern "C" void RequestStop(int signal) {
    stop_requested.store(signal);
}

}  // namespace
}  // namespace sizewalk::posix

namespace sizewalk {

LocaleSeparators ReadLocaleSeparators() {
    LocaleSeparators result;
    const std::lconv* conv = std::localeconv();
    if (conv != nullptr && conv->thousands_sep != nullptr && conv->thousands_sep[0] != '\0') {
        result.digit_group = conv->thousands_sep;
        if (conv->grouping != nullptr && conv->grouping[0] != '\0') {
            result.grouping = conv->grouping;
        }
    }
    result.date = SeparatorOfFormat(nl_langinfo(D_FMT), FormatFields::kDate);
    result.time = SeparatorOfFormat(nl_langinfo(T_FMT), FormatFields::kTime);
    result.utf8 = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    return result;
}

struct SystemPlatform::Impl {
    posix::FolderService folders{posix::walk::WalkOptions{
        ParseWalkThreads(std::getenv("SIZEWALK_THREADS")), nullptr, &posix::stop_requested}};
    posix::FileService files{posix::FileOptions{&posix::stop_requested}};
    StreamMessageBox stderr_messages{stderr};
    posix::Clock clock;
    posix::XdgTextEditor xdg_editor;
    MessageBoxService* messages = &stderr_messages;
    TextEditor* editor = &xdg_editor;
    LocaleSeparators locale = ReadLocaleSeparators();
};

SystemPlatform::SystemPlatform() : impl_(std::make_unique<Impl>()) {}
SystemPlatform::~SystemPlatform() = default;

void SystemPlatform::SetMessageBoxes(MessageBoxService* messages) {
    impl_->messages = messages != nullptr ? messages : &impl_->stderr_messages;
}

void SystemPlatform::SetTextEditor(TextEditor* editor) {
    impl_->editor = editor != nullptr ? editor : &impl_->xdg_editor;
}

void PrepareProcess() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            // Takes the lowest free number, which is `fd`.
            open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        }
    }
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
}

void SystemPlatform::CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = posix::RequestStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a wait for the file's lock ends
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

Platform SystemPlatform::Get() {
    return Platform{impl_->folders, impl_->files,  *impl_->messages,      impl_->clock,
                    *impl_->editor, impl_->locale, &posix::stop_requested};
}

}  // namespace sizewalk
