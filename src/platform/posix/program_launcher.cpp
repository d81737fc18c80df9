#include "platform/posix/program_launcher.h"

#include <fcntl.h>
#include <limits.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string_view>

#include "platform/posix/errors.h"

extern char** environ;

namespace sizewalk::posix {
namespace {

// argv for exec: `path` as the program's name, then the arguments.
std::vector<char*> ArgumentVector(std::string& path, std::vector<std::string>& arguments) {
    std::vector<char*> argv{path.data()};
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    return argv;
}

// Whether standard error is a terminal (a person reads it there).
bool StandardErrorIsTerminal() {
    return isatty(STDERR_FILENO) != 0;
}

}  // namespace

DefaultSignals::DefaultSignals() {
    posix_spawnattr_init(&attributes_);
    sigset_t ignored;
    sigemptyset(&ignored);
    sigaddset(&ignored, SIGPIPE);
    sigaddset(&ignored, SIGXFSZ);
    posix_spawnattr_setsigdefault(&attributes_, &ignored);
    posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGDEF);
}

std::string ProgramLauncher::OwnPath() {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer) {
        return {};
    }
    return std::string(buffer, static_cast<std::size_t>(length));
}

Error ProgramLauncher::Replace(const std::string& path, const std::vector<std::string>& arguments) {
    std::string name = path;
    std::vector<std::string> copies = arguments;
    const std::vector<char*> argv = ArgumentVector(name, copies);
    execv(path.c_str(), argv.data());
    return SystemError(errno, path);
}

Outcome<int> ProgramLauncher::Run(const std::string& path,
                                  const std::vector<std::string>& arguments) {
    std::string name = path;
    std::vector<std::string> copies = arguments;
    const std::vector<char*> argv = ArgumentVector(name, copies);
    // Whatever the program or its toolkit says ("XDG_RUNTIME_DIR not set")
    // would be mistaken for the run's own messages.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&quiet, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = 0;
    const DefaultSignals signals;
    const int err = posix_spawn(&pid, path.c_str(), &quiet, signals.get(), argv.data(), environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (err != 0) {
        return SystemError(err, path);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return SystemError(errno, path);
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool EnvironmentSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

bool DisplayConfigured() {
    return EnvironmentSet("DISPLAY") || EnvironmentSet("WAYLAND_DISPLAY");
}

bool MessageBoxesWanted() {
    const char* messages = std::getenv("SIZEWALK_MESSAGES");
    return DisplayConfigured() && !StandardErrorIsTerminal() &&
           (messages == nullptr || std::string_view(messages) != "stderr");
}

}  // namespace sizewalk::posix
