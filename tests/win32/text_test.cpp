// The Windows layer's text handling: UTF-16 names, the command text inside
// the process command line, the locale's separators, and lines of a code
// page read as UTF-8.
#include <gtest/gtest.h>

#include <climits>
#include <tuple>

#include "platform/win32/text.h"

namespace sizewalk::win32 {
namespace {

// Names both ways; bytes that are not UTF-8 become replacement characters.
TEST(Win32Text, Utf16AndUtf8) {
    const char16_t r = 0xFFFD;
    struct Case {
        std::u16string utf16;
        std::string utf8;
        bool both_ways = true;
    };
    const std::vector<Case> cases = {
        {u"", ""},
        {u"caf\u00E9 \u20AC", "caf\xC3\xA9 \xE2\x82\xAC"},
        {u"\U0001F600", "\xF0\x9F\x98\x80"},  // a surrogate pair
        // Lone surrogates, which NTFS names may hold, survive the round trip.
        {std::u16string{u'a', char16_t(0xD800), u'b'},
         "a\xED\xA0\x80"
         "b"},
        {std::u16string{char16_t(0xDC00)}, "\xED\xB0\x80"},
        {std::u16string{char16_t(0xDBFF), char16_t(0xDBFF)}, "\xED\xAF\xBF\xED\xAF\xBF"},
        {{u'a', r}, "a\xC3", false},                // cut short at the end
        {{r, u'('}, "\xC3(", false},                // a missing continuation byte
        {{r, r}, "\xC0\xAF", false},                // overlong
        {{r, r, r}, "\xE0\x80\xAF", false},         // overlong, three bytes
        {{r, r, r, r}, "\xF4\x90\x80\x80", false},  // past U+10FFFF
        {{r, r}, "\xFF\x80", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
        if (c.both_ways) {
            EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8);
        }
    }
}

// The command text inside the whole line as Windows hands it over; what
// start-up makes of such texts is the command-line table's part.
TEST(Win32Text, CommandTextOfTheProcessCommandLine) {
    const std::vector<std::pair<std::u16string, std::string>> cases = {
        {uR"(sizewalk.exe 2 C:\)", R"(2 C:\)"},
        {uR"("C:\Program Files\Sizewalk\sizewalk.exe" 1 D:\Data\)", R"(1 D:\Data\)"},
        {uR"("C:\Tools\sizewalk.exe"2 C:\)", R"(2 C:\)"},
        {uR"(C:\"Program Files"\sizewalk.exe 2 C:\)", R"(2 C:\)"},
        // Every separating blank or tab goes; later blanks and quotes stay.
        {u"sizewalk.exe \t  2 \\\\server\\share\\", R"(2 \\server\share\)"},
        {uR"(sizewalk.exe 2 C:\My  Data\)", R"(2 C:\My  Data\)"},
        {uR"(sizewalk.exe 2 "C:\My Data\")", R"(2 "C:\My Data\")"},
        {uR"(sizewalk.exe 2 C:\Data\ )", R"(2 C:\Data\ )"},
        {u"sizewalk.exe 2 C:\\Caf\u00E9\\", "2 C:\\Caf\xC3\xA9\\"},
        {uR"(sizewalk.exe  )", ""},
        {uR"("C:\Program Files\sizewalk.exe")", ""},
        {u"", ""},
    };
    for (const auto& [command_line, command_text] : cases) {
        EXPECT_EQ(Utf16ToUtf8(CommandTextOf(command_line)), command_text)
            << Utf16ToUtf8(command_line);
    }
}

TEST(Win32Text, DigitGroupingOfTheLocale) {
    const char no_more = static_cast<char>(CHAR_MAX);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"3;0", "\3"},
        {"3;2;0", std::string("\3\2")},
        {"3", std::string("\3") + no_more},
        {"3;2", std::string("\3\2") + no_more},
        {"0;0", std::string(1, no_more)},
        {"", std::string(1, no_more)},
        {"12;0", "\3"},  // nothing Windows gives: the usual groups
    };
    for (const auto& [windows, expected] : cases) {
        EXPECT_EQ(GroupingOf(windows), expected) << windows;
    }
}

TEST(Win32Text, SeparatorsInDateAndTimeFormats) {
    const std::vector<std::tuple<std::string, bool, std::string>> cases = {
        // format, whether a date format, separator
        {"dd.MM.yyyy", true, "."},
        {"d.M.yyyy '\xD0\xB3.'", true, "."},  // bg-BG: text after the year
        {"dddd, MMMM d, yyyy", true, "/"},    // the weekday is no day
        {"yyyy. MM. dd.", true, "/"},         // two characters
        {"yyyy'\xE5\xB9\xB4'M'\xE6\x9C\x88'd'\xE6\x97\xA5'", true, "/"},
        {"d''M''yyyy", true, "'"},
        {"ddMMyyyy", true, "/"},  // nothing between the fields
        {"HH.mm.ss", false, "."},
        {"tt h:mm:ss", false, ":"},  // the marker before the hour is no separator
        {"HH' h 'mm", false, ":"},
        {"HH", false, ":"},
    };
    for (const auto& [format, is_date, expected] : cases) {
        EXPECT_EQ(is_date ? DateSeparatorOf(format) : TimeSeparatorOf(format), expected) << format;
    }
}

// Each line that is not UTF-8 is converted whole, however the file is read.
TEST(Win32Text, LinesOfACodePageReadAsUtf8) {
    struct Bytes final : InputFile {
        std::string_view rest = "caf\xE9\r\n\xC3\xA9t\xC3\xA9\n\nM\xFCller";
        Outcome<std::size_t> Read(char* buffer, std::size_t size) override {
            const std::size_t n = rest.copy(buffer, size);
            rest.remove_prefix(n);
            return n;
        }
        bool TrustedOwner() const override { return true; }
    };
    for (const std::size_t block : {1, 3, 100}) {
        Utf8Lines lines(
            std::make_unique<Bytes>(),
            [](std::string_view line) { return std::string("[").append(line) + "]"; }, block);
        std::string read;
        char buffer[2];
        for (std::size_t n = 1; n > 0; read.append(buffer, n)) {
            n = lines.Read(buffer, sizeof buffer).value();
        }
        EXPECT_EQ(read, "[caf\xE9\r\n]\xC3\xA9t\xC3\xA9\n\n[M\xFCller]") << block;
    }
}

}  // namespace
}  // namespace sizewalk::win32
