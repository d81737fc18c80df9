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
    std::string target_dir;  // for valid lines
};

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
        {{"1", "x|"}, kExitInvalidCommandLine, 0, ""},
        {{"2", "\xC3\xA9|"}, kExitInvalidCommandLine, 0, ""},  // 5 bytes, 4 characters
        {{" "}, kExitInvalidCommandLine, 0, ""},
        {{"     "}, kExitInvalidCommandLine, 0, ""},
        {{"", "2", "|x|"}, kExitInvalidCommandLine, 0, ""},
        {{"0", "|x|"}, kExitInvalidCommandLine, 0, ""},
        {{"4", "|x|"}, kExitInvalidCommandLine, 0, ""},
        {{"a", "|x|"}, kExitInvalidCommandLine, 0, ""},
        {{"\xD9\xA2", "|x|"}, kExitInvalidCommandLine, 0, ""},  // Arabic-Indic two
        {{"2", "|x|data"}, kExitInvalidCommandLine, 0, ""},
        {{"2", "~x~data~"}, kExitInvalidCommandLine, 0, ""},
        {{"2", "|x|data| "}, kExitInvalidCommandLine, 0, ""},
        {{"2", "\"|x|\""}, kExitInvalidCommandLine, 0, ""},
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
        for (const char* line : {"\n  0  ", "\n  1  ", "\n  2  "}) {
            EXPECT_NE(out.find(line), std::string::npos) << "exit status line" << line;
        }
    }
}

TEST(CommandLine, FatalFailureOfTheRunExitsWithOne) {
    testing::FakePlatform fake;  // knows no directory at all
    EXPECT_EQ(Main({"2", Native("|missing|")}, fake.Get(), {}), kExitFatal);
    ASSERT_EQ(fake.messages.shown.size(), 1u);
    EXPECT_EQ(fake.messages.shown[0].text,
              "Path not found: " + Native("|missing|") + "\r\n\r\n(Message B76)");
    EXPECT_TRUE(fake.files.contents.empty());
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
