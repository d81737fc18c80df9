// sizewalk in a build with the window, run where a display is configured but
// does not answer: neither its unattended run nor the window program it
// starts for message boxes or the window may abort or wait.
#include <gtest/gtest.h>

#include "temp_dir.h"

namespace sizewalk {
namespace {

TEST(Unattended, ADeadDisplayStillGetsTheReportOnStandardError) {
    // the arguments, the exit status, what the output holds
    const std::tuple<std::vector<std::string>, int, const char*> cases[] = {
        {{"1", "/nonexistent-sizewalk-dir/"}, 1, "(Message B76)"},
        {{"9", "/x/"}, 2, "Invalid parameters in command line!"},
        {{}, 2, "the display does not answer"},  // no window
    };
    for (const auto& [args, status, text] : cases) {
        std::vector<std::string> argv = {SIZEWALK_BINARY};
        argv.insert(argv.end(), args.begin(), args.end());
        // No X server listens on this display number; standard error is a file.
        const testing::Result run = testing::RunProgram(argv, {"DISPLAY=:87", "QT_QPA_PLATFORM="});
        EXPECT_EQ(run.exit_status, status) << run.output;
        EXPECT_NE(run.output.find(text), std::string::npos) << run.output;
    }
}

}  // namespace
}  // namespace sizewalk
