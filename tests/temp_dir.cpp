#include "temp_dir.h"

#include "common/tracking_file/fields.h"

#include <fcntl.h>
#include <pty.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <utility>

extern char** environ;

namespace sizewalk::testing {

std::string Measure(const std::string& dir, posix::walk::WalkOptions options,
                    const ProgressCallback& progress) {
    posix::FolderService service(std::move(options));
    auto listing = List(service, dir, progress);
    if (!listing.ok()) {
        return "GetFolder: " + listing.error().description;
    }
    std::string result;
    for (std::size_t i = 0; i < listing.value()->SubFolders().size(); ++i) {
        const auto size = listing.value()->Size(i);
        result +=
            listing.value()->SubFolders()[i] + "\t" +
            (size.ok() ? Decimal(size.value())
                       : std::to_string(size.error().number) + " " + size.error().description) +
            "\n";
    }
    return result;
}

Result RunProgram(std::vector<std::string> argv, const std::vector<std::string>& environment,
                  const std::function<void(pid_t)>& while_running, Output output) {
    TempDir out_dir;
    const std::string out = out_dir.path() + "out";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int pipe_ends[2] = {-1, -1};  // or the terminal's sides
    if (output == Output::kBrokenPipe && pipe2(pipe_ends, O_CLOEXEC) == 0) {
        close(std::exchange(pipe_ends[0], -1));
        posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], 1);
    } else if (output == Output::kTerminal &&
               openpty(&pipe_ends[0], &pipe_ends[1], nullptr, nullptr, nullptr) == 0) {
        fcntl(pipe_ends[0], F_SETFD, FD_CLOEXEC);
        posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    }
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> args;
    for (std::string& a : argv) {
        args.push_back(a.data());
    }
    args.push_back(nullptr);
    // The given entries first: getenv takes the first of a name.
    std::vector<char*> env;
    for (const std::string& entry : environment) {
        env.push_back(const_cast<char*>(entry.c_str()));
    }
    for (char** e = environ; *e != nullptr; ++e) {
        if (!std::string_view(*e).starts_with("DISPLAY=") &&
            !std::string_view(*e).starts_with("WAYLAND_DISPLAY=")) {
            env.push_back(*e);
        }
    }
    env.push_back(nullptr);
    pid_t pid = 0;
    Result result;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data()) == 0) {
        if (while_running) {
            while_running(pid);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    if (pipe_ends[1] >= 0) {
        close(pipe_ends[1]);
    }
    result.output = ReadFile(out);
    if (pipe_ends[0] >= 0) {  // what the terminal shows, until its other side is gone
        char buffer[4096];
        for (ssize_t n = 0; (n = read(pipe_ends[0], buffer, sizeof buffer)) > 0;) {
            result.output.append(buffer, static_cast<std::size_t>(n));
        }
        close(pipe_ends[0]);
    }
    return result;
}

bool SomeoneWaitsFor(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        return false;
    }
    // "1: -> FLOCK  ADVISORY  WRITE 4242 fe:01:1234 0 EOF" waits for a lock;
    // a lease being broken reads "BREAKING".
    // Appended to: ":" + ... makes g++ 12 warn at -O3 (-Wrestrict).
    std::string inode = ":";
    inode += std::to_string(st.st_ino) + " ";
    for (int tries = 0; tries < 10000; ++tries) {
        std::istringstream locks(ReadFile("/proc/locks"));
        for (std::string line; std::getline(locks, line);) {
            if (line.find(inode) != std::string::npos &&
                (line.find("->") != std::string::npos || line.find("BREAK") != std::string::npos)) {
                return true;
            }
        }
        usleep(1000);
    }
    return false;
}

}  // namespace sizewalk::testing
