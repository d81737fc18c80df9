// Finding and starting the window program, through a launcher that only
// records what it is asked to start; messages on standard error.
#include "startup/window_program.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>

namespace sizewalk {
namespace {

class FakeLauncher final : public ProgramLauncher {
  public:
    std::set<std::string> present;  // programs that exist
    int exit_status = 0;            // of each program Run
    std::vector<std::pair<std::string, std::vector<std::string>>> calls;
    std::string own_path = "/b/src/sizewalk";

    std::string OwnPath() override { return own_path; }
    // A real exec of a present program would not return; any error tells it apart.
    Error Replace(const std::string& path, const std::vector<std::string>& arguments) override {
        calls.emplace_back(path, arguments);
        return MakeError(
            present.count(path) > 0 ? errnum::kPermissionDenied : errnum::kPathNotFound, path);
    }
    Outcome<int> Run(const std::string& path, const std::vector<std::string>& arguments) override {
        calls.emplace_back(path, arguments);
        return present.count(path) > 0 ? Outcome<int>(exit_status)
                                       : Outcome<int>(MakeError(errnum::kPathNotFound, path));
    }
};

// What a stream received.
struct Captured {
    char* data = nullptr;
    std::size_t size = 0;
    std::FILE* stream = open_memstream(&data, &size);
    ~Captured() {
        std::fclose(stream);
        std::free(data);
    }
    std::string text() { return std::fflush(stream), std::string(data, size); }
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
        EXPECT_EQ(StartWindowProgram(launcher, {"-x"}, err.stream), 2);
        std::vector<std::string> tried;
        for (const auto& [path, arguments] : launcher.calls) {
            tried.push_back(path);
            EXPECT_EQ(arguments, std::vector<std::string>{"-x"});
        }
        EXPECT_EQ(tried, c.tried) << c.own_path;
        const std::string text = err.text();
        EXPECT_NE(text.substr(0, text.find('\n')).find(c.reason), std::string::npos) << text;
        EXPECT_NE(text.find("Exit status:"), std::string::npos) << "no help after the reason";
    }
}

// On the stream every message is one line, as Unix tools write them.
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
    const std::string text = "Path not found: /a 'b' $HOME/\r\n\r\n(Message B76)\tc\x1b[0m\x7f";
    for (const Case& c : cases) {
        FakeLauncher launcher;
        launcher.present = c.present;
        launcher.exit_status = c.exit_status;
        Captured err;
        WindowProgramMessages messages(launcher, c.boxes_wanted, err.stream);
        messages.Show(text, MessageIcon::kWarning, "Title");
        messages.Show("second", MessageIcon::kNone, "Title");
        messages.Notice("a\nb");
        EXPECT_EQ(launcher.calls.size(), c.runs);
        if (!launcher.calls.empty()) {
            const std::vector<std::string> expected = {"--message-box", "warning", "Title", text};
            EXPECT_EQ(launcher.calls.front().second, expected);
        }
        EXPECT_EQ(err.text(),
                  "sizewalk: Path not found: /a 'b' $HOME/ (Message B76)\\x09c\\x1b[0m\\x7f\n"
                  "sizewalk: second\nsizewalk: a b\n");
    }
}

}  // namespace
}  // namespace sizewalk
