// The Windows layer's text handling: UTF-16 names, the command text inside
// the process command line, and the locale's separators.
#include <gtest/gtest.h>

#include <climits>

#include "platform/win32/text.h"

#ifdef _WIN32
#include "common/globals.h"
#include "common/reports.h"
#include "fakes.h"
#include "startup/module1.h"
#endif

namespace sizewalk::win32 {
namespace {

TEST(Win32Text, Utf16AndUtf8BothWays) {
    struct Case {
        std::u16string utf16;
        std::string utf8;
    };
    const std::vector<Case> cases = {
        {u"", ""},
        {u"Data", "Data"},
        {u"caf\u00E9 \u20AC", "caf\xC3\xA9 \xE2\x82\xAC"},
        {u"\U0001F600", "\xF0\x9F\x98\x80"},  // a surrogate pair
        // Lone surrogates, which NTFS names may hold, survive the round trip.
        {std::u16string{u'a', char16_t(0xD800), u'b'},
         "a\xED\xA0\x80"
         "b"},
        {std::u16string{char16_t(0xDC00)}, "\xED\xB0\x80"},
        {std::u16string{char16_t(0xDBFF), char16_t(0xDBFF)}, "\xED\xAF\xBF\xED\xAF\xBF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8);
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16);
    }
}

TEST(Win32Text, BytesThatAreNotUtf8BecomeReplacementCharacters) {
    const char16_t r = 0xFFFD;
    struct Case {
        std::string utf8;
        std::u16string utf16;
    };
    const std::vector<Case> cases = {
        {"a\xC3", {u'a', r}},                // cut short at the end
        {"\xC3(", {r, u'('}},                // a missing continuation byte
        {"\xC0\xAF", {r, r}},                // overlong
        {"\xE0\x80\xAF", {r, r, r}},         // overlong, three bytes
        {"\xF4\x90\x80\x80", {r, r, r, r}},  // past U+10FFFF
        {"\xFF\x80", {r, r}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
    }
}

// The whole line as Windows hands it over, the command text in it, and, on
// Windows, what start-up makes of that text.
struct CommandLineRow {
    std::u16string command_line;
    std::string command_text;
    bool valid;
    std::string target_dir;
};

const std::vector<CommandLineRow> kCommandLines = {
    {uR"(sizewalk.exe 2 C:\)", R"(2 C:\)", true, R"(C:\)"},
    {uR"(C:\Tools\sizewalk.exe 3 D:\Data\)", R"(3 D:\Data\)", true, R"(D:\Data\)"},
    {uR"("C:\Program Files\Sizewalk\sizewalk.exe" 1 D:\Data\)", R"(1 D:\Data\)", true,
     R"(D:\Data\)"},
    {uR"("C:\Tools\sizewalk.exe"2 C:\)", R"(2 C:\)", true, R"(C:\)"},
    {uR"(C:\"Program Files"\sizewalk.exe 2 C:\)", R"(2 C:\)", true, R"(C:\)"},
    // Every separating blank or tab goes; later blanks stay.
    {u"sizewalk.exe \t  2 \\\\server\\share\\", R"(2 \\server\share\)", true, R"(\\server\share\)"},
    {uR"(sizewalk.exe 2 C:\My  Data\)", R"(2 C:\My  Data\)", true, R"(C:\My  Data\)"},
    {u"sizewalk.exe 2 C:\\Caf\u00E9\\", "2 C:\\Caf\xC3\xA9\\", true, "C:\\Caf\xC3\xA9\\"},
    {uR"(sizewalk.exe 2 C:/Data/)", R"(2 C:/Data/)", false, ""},
    {uR"(sizewalk.exe 2 C:\Data\ )", R"(2 C:\Data\ )", false, ""},
    {uR"(sizewalk.exe 2 "C:\My Data\")", R"(2 "C:\My Data\")", false, ""},
    {uR"(sizewalk.exe  )", "", false, ""},
    {uR"("C:\Program Files\sizewalk.exe")", "", false, ""},
    {u"", "", false, ""},
};

TEST(Win32Text, CommandTextOfTheProcessCommandLine) {
    for (const CommandLineRow& row : kCommandLines) {
        EXPECT_EQ(Utf16ToUtf8(CommandTextOf(row.command_line)), row.command_text)
            << Utf16ToUtf8(row.command_line);
    }
}

#ifdef _WIN32
TEST(Win32Text, StartUpRunsOnlyValidCommandTexts) {
    for (const CommandLineRow& row : kCommandLines) {
        if (row.command_text.empty()) {
            continue;  // the window's case
        }
        SCOPED_TRACE(row.command_text);
        testing::FakePlatform fake;
        fake.folders.folders[row.target_dir] = {};
        TargetDir.clear();
        const int status = Main({row.command_text}, fake.Get(), {});
        EXPECT_EQ(status, row.valid ? kExitSuccess : kExitInvalidCommandLine);
        EXPECT_EQ(CommandText, row.command_text);
        if (row.valid) {
            EXPECT_EQ(TargetDir, row.target_dir);
            EXPECT_EQ(fake.files.contents.size(), 1u);
        } else {
            ASSERT_EQ(fake.messages.shown.size(), 1u);
            EXPECT_EQ(fake.messages.shown[0].text, kInvalidParametersText);
        }
    }
}
#endif

TEST(Win32Text, DigitGroupingOfTheLocale) {
    const char no_more = static_cast<char>(CHAR_MAX);
    struct Case {
        std::string windows;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"3;0", "\3"},
        {"3;2;0", std::string("\3\2")},
        {"3", std::string("\3") + no_more},
        {"3;2", std::string("\3\2") + no_more},
        {"0;0", std::string(1, no_more)},
        {"", std::string(1, no_more)},
        {"12;0", "\3"},  // nothing Windows gives: the usual groups
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GroupingOf(c.windows), c.expected) << c.windows;
    }
}

TEST(Win32Text, SeparatorsInDateAndTimeFormats) {
    struct Case {
        std::string format;
        bool is_date;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"M/d/yyyy", true, "/"},
        {"dd.MM.yyyy", true, "."},
        {"yyyy-MM-dd", true, "-"},
        {"d.M.yyyy '\xD0\xB3.'", true, "."},  // bg-BG: text after the year
        {"dddd, MMMM d, yyyy", true, "/"},    // the weekday is no day
        {"yyyy. MM. dd.", true, "/"},         // two characters
        {"yyyy'\xE5\xB9\xB4'M'\xE6\x9C\x88'd'\xE6\x97\xA5'", true, "/"},
        {"d''M''yyyy", true, "'"},
        {"ddMMyyyy", true, "/"},  // nothing between the fields
        {"HH:mm:ss", false, ":"},
        {"HH.mm.ss", false, "."},
        {"tt h:mm:ss", false, ":"},  // the marker before the hour is no separator
        {"HH' h 'mm", false, ":"},
        {"HH", false, ":"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.is_date ? DateSeparatorOf(c.format) : TimeSeparatorOf(c.format), c.expected)
            << c.format;
    }
}

}  // namespace
}  // namespace sizewalk::win32
