// The command line: which texts run, with which style and directory, which
// are refused, and the exit status a scheduler sees; the help.
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
        if (c == '|' || c == '~') {
            c = (c == '|') == (kPathSeparator == '/') ? '/' : '\\';
        }
    }
    return text;
}

// POSIX paths are as short as "/"; Windows ones as "C:\".
const bool kShortPaths = kPathSeparator == '/';

TEST(CommandLine, TableOfTexts) {
    const int short_status = kShortPaths ? kExitSuccess : kExitInvalidCommandLine;
    const auto short_detail = [](const char* path) {
        return kShortPaths ? path : "the command line is too short";
    };
    const std::string b76 = "\r\n\r\n(Message B76)";
    struct Row {
        std::vector<std::string> arguments;
        int exit_status;
        // Valid lines: the directory; invalid ones: the start of the rule the
        // notice names; failed runs: the report.
        std::string detail;
        int stop = 0;
    };
    const std::vector<Row> rows = {
        {{"1", "|x|"}, kExitSuccess, "|x|"},
        // Blanks inside the path stay, quoted as one argument or not.
        {{"2", "|srv|My Data|"}, kExitSuccess, "|srv|My Data|"},
        {{"2", "|srv|My", "Data|"}, kExitSuccess, "|srv|My Data|"},
        {{"1", "ab|"}, kExitSuccess, "ab|"},
        // The second character is dropped unseen, even when it is not a blank.
        {{"2x|x|"}, kExitSuccess, "|x|"},
        {{"2|srv|data|"}, kExitSuccess, "srv|data|"},
        {{"2\xC3\xA9|x|"}, kExitSuccess, "|x|"},  // a two-byte separator
        {{"2", "||server|share|"}, kExitSuccess, "||server|share|"},
        {{"1", "|"}, short_status, short_detail("|")},  // the root
        {{"3", ".|"}, short_status, short_detail(".|")},
        {{"2", "\xC3\xA9|"}, short_status, short_detail("\xC3\xA9|")},
        {{"1|"}, kExitInvalidCommandLine, "the command line is too short"},
        {{" "}, kExitInvalidCommandLine, "the command line is too short"},
        {{"     "}, kExitInvalidCommandLine, "no style digit"},
        {{"", "2", "|x|"}, kExitInvalidCommandLine, "no style digit"},
        {{"0", "|x|"}, kExitInvalidCommandLine, "the style must be 1, 2 or 3, not 0"},
        {{"4", "|x|"}, kExitInvalidCommandLine, "the style must be 1, 2 or 3, not 4"},
        {{"a", "|x|"}, kExitInvalidCommandLine, "no style digit"},
        {{"\xD9\xA2", "|x|"}, kExitInvalidCommandLine, "no style digit"},  // Arabic-Indic two
        {{"--help", "|x|"}, kExitInvalidCommandLine, "no style digit"},
        {{"2", "|x|data"}, kExitInvalidCommandLine, "the directory must end with '|'"},
        {{"2", "~x~data~"}, kExitInvalidCommandLine, "the directory must end with '|'"},
        {{"2", "|x|data| "}, kExitInvalidCommandLine, "the directory must end with '|'"},
        {{"2", "\"|x|\""}, kExitInvalidCommandLine, "the directory must end with '|'"},
        // A run that fails (1), is stopped by a signal (128 + n) or could not
        // measure a subdirectory (3); a missing path shows its blanks.
        {{"2", "|missing|"}, kExitFatal, "Path not found: |missing|" + b76},
        {{"12", "|x|"}, kExitFatal, "Path not found: ' |x|'" + b76},
        {{"2", "|x|"}, 128 + 15, "User interrupt occurred (signal 15)\r\n\r\n(Message B18)", 15},
        {{"3", "|bad|"}, kExitIncomplete, "|bad|"},
    };
    for (const Row& row : rows) {
        std::vector<std::string> arguments = row.arguments;
        for (std::string& a : arguments) {
            a = Native(a);
        }
        const std::string text = CommandTextFromArguments(arguments);
        SCOPED_TRACE("command text: [" + text + "]");
        testing::FakePlatform fake;
        fake.folders.folders[Native(row.detail)] = {{"a", ByteCount{1}}};
        fake.folders.folders[Native("|x|")] = {{"a", ByteCount{1}}};
        fake.folders.folders[Native("|bad|")] = {{"b", MakeError(errnum::kPermissionDenied, "b")}};
        fake.stop = row.stop;
        OutputStyle = 0;
        EXPECT_EQ(Main(arguments, fake.Get(), {}), row.exit_status);
        const auto& shown = fake.messages.shown;
        if (row.exit_status == kExitSuccess || row.exit_status == kExitIncomplete) {
            EXPECT_EQ(OutputStyle, text[0] - '0');
            EXPECT_EQ(TargetDir, Native(row.detail));
            EXPECT_TRUE(shown.empty());
            EXPECT_EQ(fake.messages.notices.size(), row.exit_status == kExitIncomplete ? 1u : 0u);
            EXPECT_TRUE(fake.editor.opened.empty()) << "an unattended run opens no editor";
            continue;
        }
        EXPECT_TRUE(fake.files.contents.empty());
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].icon, MessageIcon::kWarning);
        EXPECT_EQ(shown[0].title, MessageTitle);
        if (row.exit_status != kExitInvalidCommandLine) {
            EXPECT_EQ(shown[0].text, Native(row.detail));
            continue;
        }
        EXPECT_EQ(OutputStyle, 0);
        EXPECT_EQ(shown[0].text, kInvalidParametersText);
        // Standard error also says which rule failed, and the form.
        const std::string form =
            kShortPaths ? ": sizewalk 2 /srv/data/" : ": sizewalk 2 D:\\Data\\";
        ASSERT_EQ(fake.messages.notices.size(), 1u);
        const std::string& notice = fake.messages.notices[0];
        EXPECT_TRUE(notice.starts_with(Native(row.detail)) && notice.ends_with(form)) << notice;
    }
}

// The text the window's Help shows and --help prints, pinned here once; the
// title line --version prints and messages carry.
TEST(CommandLine, HelpVersionAndNoArguments) {
    std::string help =
        "This simple administrative utility creates/updates a sole size tracking file for upper "
        "level subdirs within the directory it processes. You should have a permission to write "
        "to the processed dir's root. That's for track ASCII file creating only! The operation is "
        "absolutely safe. It's also recommended to have administrative permissions when "
        "processing a network drive.\r\n\r\nYou may want to run the program from the command "
        "line with parameters (for example, from scheduler), like:\r\n";
    help += kShortPaths ? "  sizewalk 2 /home/  \r\nThis will process /home/ directory"
                        : "  SIZEWALK 2 C:\\  \r\nThis will process C:\\ directory";
    help += " with 'Write data to a new file' option. The path parameter in command line must end ";
    help += kShortPaths ? "with ' / '." : "with ' \\ '.";
    EXPECT_EQ(HelpText(), help);

    testing::FakePlatform fake;
    int window_starts = 0;
    const WindowStart window = [&] { return ++window_starts, 0; };
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(Main({"--help"}, fake.Get(), window), kExitSuccess);
    EXPECT_EQ(Main({"--version"}, fake.Get(), window), kExitSuccess);
    const std::string out = ::testing::internal::GetCapturedStdout();
    std::erase(help, '\r');
    EXPECT_TRUE(out.starts_with(help)) << out;
    EXPECT_EQ(out.find('\r'), std::string::npos);
    const std::string copyright = BuiltInIdentity().copyright;
    for (const std::string& part : std::vector<std::string>{
             "\n  0  ", "\n  1  ", "\n  2  ", "\n  3  ",
             kShortPaths ? "\n  128+n  " : "Last Run Result", "SIZEWALK_MESSAGES=stderr",
             "\"'name\"", "\nSizewalk v2.0.2 ,  Copyright " + copyright + "\n"}) {
        EXPECT_NE(out.find(part), std::string::npos) << part;
    }
    EXPECT_EQ(MessageTitle, "Sizewalk    " + copyright);
    EXPECT_EQ(window_starts, 0);
    EXPECT_EQ(Main({}, fake.Get(), window), 0);
    EXPECT_EQ(window_starts, 1);
    EXPECT_EQ(Main({}, fake.Get(), {}), kExitInvalidCommandLine);  // the help on standard error
    EXPECT_TRUE(fake.messages.shown.empty());
}

}  // namespace
}  // namespace sizewalk
