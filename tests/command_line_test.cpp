// The command line: which texts run, with which style and directory, and
// which are refused, with the exit status a scheduler sees.
#include <gtest/gtest.h>

#include "common/globals.h"
#include "common/identity.h"
#include "common/reports.h"
#include "fakes.h"
#include "platform/paths.h"
#include "startup/module1.h"

namespace sizewalk {
namespace {

// '|' stands for this platform's separator, '~' for the other slash.
std::string Native(std::string text) {
    for (char& c : text) {
        if (c == '|') {
            c = kPathSeparator;
        } else if (c == '~') {
            c = kPathSeparator == '/' ? '\\' : '/';
        }
    }
    return text;
}

struct Row {
    std::vector<std::string> arguments;
    int exit_status;
    int style;               // for valid lines
    std::string target_dir;  // for valid lines; for invalid ones, what the notice says
};

// POSIX paths are as short as "/"; Windows ones as "C:\".
const bool kShortPaths = kPathSeparator == '/';
const int kShortStatus = kShortPaths ? kExitSuccess : kExitInvalidCommandLine;
const char* const kTooShort = "the command line is too short";

TEST(CommandLine, TableOfTexts) {
    const std::vector<Row> rows = {
        {{"1", "|x|"}, kExitSuccess, 1, "|x|"},
        {{"2", "|x|"}, kExitSuccess, 2, "|x|"},
        {{"3", "|srv|data|"}, kExitSuccess, 3, "|srv|data|"},
        // Blanks inside the path stay, quoted as one argument or not.
        {{"2", "|srv|My Data|"}, kExitSuccess, 2, "|srv|My Data|"},
        {{"2", "|srv|My", "Data|"}, kExitSuccess, 2, "|srv|My Data|"},
        {{"1", "|Srv|DATA|"}, kExitSuccess, 1, "|Srv|DATA|"},
        {{"1", "ab|"}, kExitSuccess, 1, "ab|"},
        // The second character is dropped unseen, even when it is not a blank.
        {{"2x|x|"}, kExitSuccess, 2, "|x|"},
        {{"2|srv|data|"}, kExitSuccess, 2, "srv|data|"},
        {{"2\xC3\xA9|x|"}, kExitSuccess, 2, "|x|"},  // a two-byte separator
        {{"2", "||server|share|"}, kExitSuccess, 2, "||server|share|"},
        {{"1", "|"}, kShortStatus, 1, kShortPaths ? "|" : kTooShort},  // the root
        {{"3", ".|"}, kShortStatus, 3, kShortPaths ? ".|" : kTooShort},
        {{"1", "x|"}, kShortStatus, 1, kShortPaths ? "x|" : kTooShort},
        {{"2", "\xC3\xA9|"}, kShortStatus, 2, kShortPaths ? "\xC3\xA9|" : kTooShort},
        {{"1|"}, kExitInvalidCommandLine, 0, kTooShort},
        {{" "}, kExitInvalidCommandLine, 0, kTooShort},
        {{"     "}, kExitInvalidCommandLine, 0, "no style digit"},
        {{"", "2", "|x|"}, kExitInvalidCommandLine, 0, "no style digit"},
        {{"0", "|x|"}, kExitInvalidCommandLine, 0, "the style must be 1, 2 or 3, not 0"},
        {{"4", "|x|"}, kExitInvalidCommandLine, 0, "the style must be 1, 2 or 3, not 4"},
        {{"a", "|x|"}, kExitInvalidCommandLine, 0, "no style digit"},
        {{"\xD9\xA2", "|x|"}, kExitInvalidCommandLine, 0, "no style digit"},  // Arabic-Indic two
        {{"2", "|x|data"}, kExitInvalidCommandLine, 0, "the directory must end with '|'"},
        {{"2", "~x~data~"}, kExitInvalidCommandLine, 0, "the directory must end with '|'"},
        {{"2", "|x|data| "}, kExitInvalidCommandLine, 0, "the directory must end with '|'"},
        {{"2", "\"|x|\""}, kExitInvalidCommandLine, 0, "the directory must end with '|'"},
    };
    for (const Row& row : rows) {
        std::vector<std::string> arguments;
        for (const std::string& a : row.arguments) {
            arguments.push_back(Native(a));
        }
        const std::string text = CommandTextFromArguments(arguments);
        SCOPED_TRACE("command text: [" + text + "]");
        testing::FakePlatform fake;
        fake.folders.folders[Native(row.target_dir)] = {};
        OutputStyle = 0;
        TargetDir.clear();
        EXPECT_EQ(Main(arguments, fake.Get(), {}), row.exit_status);
        if (row.exit_status == kExitSuccess) {
            EXPECT_EQ(OutputStyle, row.style);
            EXPECT_EQ(TargetDir, Native(row.target_dir));
            EXPECT_TRUE(fake.messages.shown.empty());
            EXPECT_TRUE(fake.editor.opened.empty()) << "an unattended run opens no editor";
        } else {
            EXPECT_EQ(OutputStyle, 0);
            ASSERT_EQ(fake.messages.shown.size(), 1u);
            EXPECT_EQ(fake.messages.shown[0].text, kInvalidParametersText);
            EXPECT_EQ(fake.messages.shown[0].icon, MessageIcon::kWarning);
            EXPECT_EQ(fake.messages.shown[0].title, MessageTitle);
            // Standard error also says which rule failed, and the form.
            const std::string form =
                kShortPaths ? "sizewalk 2 /srv/data/" : "sizewalk.exe 2 D:\\Data\\";
            ASSERT_EQ(fake.messages.notices.size(), 1u);
            EXPECT_TRUE(fake.messages.notices[0].starts_with(Native(row.target_dir)) &&
                        fake.messages.notices[0].ends_with(": " + form))
                << fake.messages.notices[0];
            EXPECT_TRUE(fake.files.contents.empty());
        }
    }
}

TEST(CommandLine, EmptyTextOpensTheWindowOrPrintsHelpWithoutOne) {
    testing::FakePlatform fake;
    int window_starts = 0;
    EXPECT_EQ(Main({}, fake.Get(), [&] { return ++window_starts, 0; }), 0);
    EXPECT_EQ(window_starts, 1);
    EXPECT_EQ(Main({}, fake.Get(), {}), kExitInvalidCommandLine);
    EXPECT_TRUE(fake.messages.shown.empty());
}

// --help and --version answer on standard output only as the whole command
// text; anything else beginning with "-" stays an invalid line.
TEST(CommandLine, HelpAndVersionOnlyAsTheWholeText) {
    const std::string help_head = HelpText().substr(0, HelpText().find('\r'));
    const std::vector<std::pair<std::vector<std::string>, std::string>> rows = {
        // arguments, standard output; an empty one marks an invalid line
        {{"--help"}, help_head},     {{"--version"}, ComposeTitleLine(BuiltInIdentity()) + "\n"},
        {{"--help", "x"}, ""},       {{"--version", "--help"}, ""},
        {{"--help "}, ""},           {{"--HELP"}, ""},
        {{"--helpme"}, ""},          {{"-h"}, ""},
        {{"-2", Native("|x|")}, ""},
    };
    for (const auto& [arguments, expected_out] : rows) {
        SCOPED_TRACE("command text: [" + CommandTextFromArguments(arguments) + "]");
        testing::FakePlatform fake;
        int window_starts = 0;
        ::testing::internal::CaptureStdout();
        const int status = Main(arguments, fake.Get(), [&] { return ++window_starts, 0; });
        const std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(window_starts, 0);
        EXPECT_TRUE(fake.files.contents.empty());
        if (expected_out.empty()) {
            EXPECT_EQ(status, kExitInvalidCommandLine);
            EXPECT_EQ(out, "");
            ASSERT_EQ(fake.messages.shown.size(), 1u);
            EXPECT_EQ(fake.messages.shown[0].text, kInvalidParametersText);
            continue;
        }
        EXPECT_EQ(status, kExitSuccess);
        EXPECT_TRUE(fake.messages.shown.empty());
        EXPECT_EQ(out.find('\r'), std::string::npos);
        if (arguments[0] == "--version") {
            EXPECT_EQ(out, expected_out);
            continue;
        }
        EXPECT_EQ(out.rfind(expected_out, 0), 0u) << out;
        for (const char* line : {"\n  0  ", "\n  1  ", "\n  2  ", "\n  3  ", "\n  128+n  ",
                                 "SIZEWALK_MESSAGES=stderr", "\"'name\""}) {
            EXPECT_NE(out.find(line), std::string::npos) << "exit status line" << line;
        }
    }
}

// A scheduler tells a failure (1), a run with unmeasured subdirectories (3)
// and one a signal stopped (128 + n) apart; a missing path shows its blanks.
TEST(CommandLine, ExitStatusesOfTheRun) {
    struct Case {
        std::vector<std::string> arguments;
        int stop;
        bool problem;
        int exit_status;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"2", "|missing|"}, 0, false, kExitFatal, "Path not found: |missing|"},
        {{"12", "|data|"}, 0, false, kExitFatal, "Path not found: ' |data|'"},
        {{"2", "|data|"}, 15, false, 128 + 15, "User interrupt occurred (signal 15)"},
        {{"3", "|data|"}, 0, true, kExitIncomplete, ""},
        {{"1", "|data|"}, 0, false, kExitSuccess, ""},
    };
    for (const Case& c : cases) {
        testing::FakePlatform fake;
        fake.folders.folders[Native("|data|")] = {
            {"a", ByteCount{1}},
            {"b", c.problem ? Outcome<ByteCount>(MakeError(errnum::kPermissionDenied, "b"))
                            : Outcome<ByteCount>(ByteCount{2})}};
        fake.stop = c.stop;
        std::vector<std::string> arguments;
        for (const std::string& a : c.arguments) {
            arguments.push_back(Native(a));
        }
        EXPECT_EQ(Main(arguments, fake.Get(), {}), c.exit_status) << c.arguments[0];
        if (c.message.empty()) {
            EXPECT_TRUE(fake.messages.shown.empty());
            EXPECT_EQ(fake.messages.notices.size(), c.problem ? 1u : 0u);
            continue;
        }
        ASSERT_EQ(fake.messages.shown.size(), 1u);
        EXPECT_EQ(fake.messages.shown[0].text,
                  Native(c.message) + "\r\n\r\n(Message B" + (c.stop != 0 ? "18)" : "76)"));
        EXPECT_TRUE(fake.files.contents.empty());
    }
}

// On standard error every message is one line in the form of Unix tools.
TEST(CommandLine, MessagesOnAStreamAreOneLineEach) {
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    StreamMessageBox messages(stream);
    messages.Show("Path not found: /srv/data/\r\n\r\n(Message B76)", MessageIcon::kWarning,
                  "Sizewalk    (c) Maker");
    messages.Show("Invalid parameters in command line!", MessageIcon::kWarning, "Title");
    messages.Notice("a\nb\tc\x1b[0m");
    std::rewind(stream);
    char buffer[512] = {};
    const std::size_t length = std::fread(buffer, 1, sizeof buffer, stream);
    std::fclose(stream);
    EXPECT_EQ(std::string(buffer, length),
              "sizewalk: Path not found: /srv/data/ (Message B76)\n"
              "sizewalk: Invalid parameters in command line!\n"
              "sizewalk: a b\\x09c\\x1b[0m\n");
}

TEST(Identity, TitleLineAndMessageTitle) {
    Identity identity{"Sizewalk", 2, 0, 2, "(c) 2003 Maker", "", ""};
    EXPECT_EQ(ComposeTitleLine(identity), "Sizewalk v2.0.2 ,  Copyright (c) 2003 Maker");
    EXPECT_EQ(ComposeMessageTitle(identity), "Sizewalk    (c) 2003 Maker");
    identity.copyright.clear();
    EXPECT_EQ(ComposeTitleLine(identity), "Sizewalk v2.0.2 ,  Copyright ");
    EXPECT_EQ(ComposeMessageTitle(identity), "Sizewalk    ");
    EXPECT_EQ(ComposeTitleLine(BuiltInIdentity()).rfind("Sizewalk v2.0.2 ,  Copyright ", 0), 0u);
}

}  // namespace
}  // namespace sizewalk
