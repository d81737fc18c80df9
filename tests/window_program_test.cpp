// Finding and starting the window program, through a launcher that only
// records what it is asked to start; messages on standard error.
#include "startup/window_program.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <tuple>

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
    // this program's path, the programs present, those tried, the reason given
    const std::tuple<std::string, std::set<std::string>, std::vector<std::string>, std::string>
        cases[] = {
            {"/b/src/sizewalk", {kBuilt, kInstalled}, {kBuilt}, "Permission denied"},
            {"/b/src/sizewalk", {kInstalled}, {kBuilt, kInstalled}, "Permission denied"},
            {"/b/src/sizewalk", {}, {kBuilt, kInstalled}, "is not at " + kBuilt + " nor at "},
            {"", {kBuilt}, {}, "path of this program is unknown"},
        };
    for (const auto& [own_path, present, expected_tried, reason] : cases) {
        FakeLauncher launcher;
        launcher.own_path = own_path;
        launcher.present = present;
        Captured err;
        EXPECT_EQ(StartWindowProgram(launcher, {"-x"}, err.stream), 2);
        std::vector<std::string> tried;
        for (const auto& [path, arguments] : launcher.calls) {
            tried.push_back(path);
            EXPECT_EQ(arguments, std::vector<std::string>{"-x"});
        }
        EXPECT_EQ(tried, expected_tried) << own_path;
        const std::string text = err.text();
        EXPECT_NE(text.substr(0, text.find('\n')).find(reason), std::string::npos) << text;
        EXPECT_NE(text.find("Exit status:"), std::string::npos) << "no help after the reason";
    }
}

// On the stream every message is one line, as Unix tools write them.
TEST(WindowProgram, MessagesGoToTheStreamAndToBoxesUntilOneFails) {
    // boxes wanted, the programs present, their exit status, runs of them
    const std::tuple<bool, std::set<std::string>, int, std::size_t> cases[] = {
        {false, {kBuilt}, 0, 0},    {true, {kBuilt}, 0, 2},
        {true, {kInstalled}, 0, 4},  // the built candidate is tried each time
        {true, {kBuilt}, 1, 1},      // a display that does not answer: asked once
        {true, {}, 0, 2},            // no window program: both candidates, once
    };
    const std::string text = "Path not found: /a 'b' $HOME/\r\n\r\n(Message B76)\tc\x1b[0m\x7f";
    for (const auto& [boxes_wanted, present, exit_status, runs] : cases) {
        FakeLauncher launcher;
        launcher.present = present;
        launcher.exit_status = exit_status;
        Captured err;
        WindowProgramMessages messages(launcher, boxes_wanted, err.stream);
        messages.Show(text, MessageIcon::kWarning, "Title");
        messages.Show("second", MessageIcon::kNone, "Title");
        messages.Notice("a\nb");
        EXPECT_EQ(launcher.calls.size(), runs);
        if (runs > 0) {
            const auto request = MessageBoxRequested(launcher.calls.front().second);
            EXPECT_EQ(std::pair(request->icon, request->text),
                      std::pair(MessageIcon::kWarning, text));
        }
        EXPECT_EQ(err.text(),
                  "sizewalk: Path not found: /a 'b' $HOME/ (Message B76)\\x09c\\x1b[0m\\x7f\n"
                  "sizewalk: second\nsizewalk: a b\n");
    }
}

// What sizewalk asks of the window program reads back, each icon by its name.
TEST(WindowProgram, MessageBoxRequestsReadBack) {
    for (const auto& [icon, name] : {std::pair(MessageIcon::kNone, "none"),
                                     {MessageIcon::kWarning, "warning"},
                                     {MessageIcon::kInformation, "information"}}) {
        const std::vector<std::string> arguments = MessageBoxArguments({icon, "T", "a\nb"});
        const std::optional<MessageBoxRequest> request = MessageBoxRequested(arguments);
        EXPECT_EQ(arguments, (std::vector<std::string>{"--message-box", name, "T", "a\nb"}));
        EXPECT_TRUE(request && std::tie(request->icon, request->title, request->text) ==
                                   std::tuple(icon, "T", "a\nb"));
    }
    EXPECT_FALSE(MessageBoxRequested({"--message-box", "warning", "T"}));
}

}  // namespace
}  // namespace sizewalk
