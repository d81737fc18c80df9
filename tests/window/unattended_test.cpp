// sizewalk in a build with the window, run where a display is configured but
// does not answer: neither its unattended run nor the window program it
// starts for message boxes or the window may abort or wait.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <fstream>

#include "temp_dir.h"

extern char** environ;

namespace sizewalk {
namespace {

struct Finished {
    int status = -1;
    std::string stderr_text;
};

// Runs the program with `display` as DISPLAY and no other display settings;
// standard error goes to a file, so it is no terminal.
Finished RunWithDisplay(const std::string& display, const std::vector<std::string>& args) {
    testing::TempDir out;
    const std::string err_path = out.path() + "stderr";
    std::vector<std::string> command = {
        "env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM"};
    command.push_back("DISPLAY=" + display);
    command.push_back(SIZEWALK_BINARY);
    command.insert(command.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& part : command) {
        argv.push_back(part.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT, 0600);
    Finished run;
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    std::ifstream in(err_path);
    run.stderr_text.assign(std::istreambuf_iterator<char>(in), {});
    return run;
}

TEST(Unattended, ADeadDisplayStillGetsTheReportOnStandardError) {
    // No X server listens on this display number.
    const Finished fatal = RunWithDisplay(":87", {"1", "/nonexistent-sizewalk-dir/"});
    EXPECT_EQ(fatal.status, 1) << fatal.stderr_text;
    EXPECT_NE(fatal.stderr_text.find("(Message B76)"), std::string::npos) << fatal.stderr_text;

    const Finished invalid = RunWithDisplay(":87", {"9", "/x/"});
    EXPECT_EQ(invalid.status, 2) << invalid.stderr_text;
    EXPECT_NE(invalid.stderr_text.find("Invalid parameters in command line!"), std::string::npos);

    const Finished window = RunWithDisplay(":87", {});
    EXPECT_EQ(window.status, 2) << window.stderr_text;
}

}  // namespace
}  // namespace sizewalk
