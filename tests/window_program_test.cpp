// Finding and starting the window program, through a launcher that only
// records what it is asked to start.
#include "startup/window_program.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>

namespace sizewalk {
namespace {

struct Call {
    std::string path;
    std::vector<std::string> arguments;
};

class FakeLauncher final : public ProgramLauncher {
  public:
    std::string own_path;
    std::set<std::string> present;  // programs that exist
    int exit_status = 0;            // of each program Run
    std::vector<Call> calls;

    std::string OwnPath() override { return own_path; }
    Error Replace(const std::string& path, const std::vector<std::string>& arguments) override {
        calls.push_back({path, arguments});
        // A real exec of a present program would not return; any error tells it apart.
        return present.count(path) > 0 ? MakeError(errnum::kPermissionDenied, path)
                                       : MakeError(errnum::kPathNotFound, path);
    }
    Outcome<int> Run(const std::string& path, const std::vector<std::string>& arguments) override {
        calls.push_back({path, arguments});
        if (present.count(path) == 0) {
            return MakeError(errnum::kPathNotFound, path);
        }
        return exit_status;
    }
};

// What a stream received.
class Captured {
  public:
    Captured() : stream_(open_memstream(&data_, &size_)) {}
    ~Captured() {
        std::fclose(stream_);
        std::free(data_);
    }
    std::FILE* stream() { return stream_; }
    std::string text() {
        std::fflush(stream_);
        return std::string(data_, size_);
    }

  private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::FILE* stream_;
};

const std::string kBuilt = "/b/src/sizewalk-window";
const std::string kInstalled = "/b/src/../libexec/sizewalk/sizewalk-window";

TEST(WindowProgram, StartsTheFirstPresentCandidateOrPrintsTheHelp) {
    struct Case {
        std::string own_path;
        std::set<std::string> present;
        std::vector<std::string> tried;
        std::string reason;
    };
    const Case cases[] = {
        {"/b/src/sizewalk", {kBuilt, kInstalled}, {kBuilt}, "Permission denied"},
        {"/b/src/sizewalk", {kInstalled}, {kBuilt, kInstalled}, "Permission denied"},
        {"/b/src/sizewalk", {}, {kBuilt, kInstalled}, "is not at " + kBuilt + " nor at "},
        {"", {kBuilt}, {}, "path of this program is unknown"},
    };
    for (const Case& c : cases) {
        FakeLauncher launcher;
        launcher.own_path = c.own_path;
        launcher.present = c.present;
        Captured err;
        EXPECT_EQ(StartWindowProgram(launcher, {"-x"}, err.stream()), 2);
        std::vector<std::string> tried;
        for (const Call& call : launcher.calls) {
            tried.push_back(call.path);
            EXPECT_EQ(call.arguments, std::vector<std::string>{"-x"});
        }
        EXPECT_EQ(tried, c.tried) << c.own_path;
        const std::string text = err.text();
        const std::string first_line = text.substr(0, text.find('\n'));
        EXPECT_NE(first_line.find(c.reason), std::string::npos) << first_line;
        EXPECT_NE(text.find("Exit status:"), std::string::npos) << "no help after the reason";
    }
}

TEST(WindowProgram, MessagesGoToTheStreamAndToBoxesUntilOneFails) {
    struct Case {
        bool boxes_wanted;
        std::set<std::string> present;
        int exit_status;
        std::size_t runs;  // of the window program, for two messages
    };
    const Case cases[] = {
        {false, {kBuilt}, 0, 0},    {true, {kBuilt}, 0, 2},
        {true, {kInstalled}, 0, 4},  // the built candidate is tried each time
        {true, {kBuilt}, 1, 1},      // a display that does not answer: asked once
        {true, {}, 0, 2},            // no window program: both candidates, once
    };
    for (const Case& c : cases) {
        FakeLauncher launcher;
        launcher.own_path = "/b/src/sizewalk";
        launcher.present = c.present;
        launcher.exit_status = c.exit_status;
        Captured err;
        WindowProgramMessages messages(launcher, c.boxes_wanted, err.stream());
        messages.Show("a 'b' $HOME\r\nc", MessageIcon::kWarning, "Title");
        messages.Show("second", MessageIcon::kNone, "Title");
        EXPECT_EQ(launcher.calls.size(), c.runs);
        if (!launcher.calls.empty()) {
            const std::vector<std::string> expected = {"--message-box", "warning", "Title",
                                                       "a 'b' $HOME\r\nc"};
            EXPECT_EQ(launcher.calls.front().arguments, expected);
        }
        const std::string text = err.text();
        EXPECT_EQ(text, "sizewalk: a 'b' $HOME c\nsizewalk: second\n");
    }
}

}  // namespace
}  // namespace sizewalk
