// The tracking file format: what the writer makes of hostile names, and
// that the reader takes back exactly what the writer wrote, in every style
// and locale.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <tuple>

#include "common/globals.h"
#include "common/identity.h"
#include "fakes.h"
#include "history/reader.h"
#include "tracking/formats.h"
#include "tracking/run_size_track.h"

namespace sizewalk {
namespace {

// A name as each style writes it: quoted in a CSV row where it must be,
// behind the formula guard where a spreadsheet would run it or where it
// begins with the guard; escaped byte by byte in a text report, which keeps
// a code page's letters but not its C1 controls, and in what is shown.
TEST(Format, NamesInEachStyle) {
    const std::vector<std::tuple<std::string, std::string, std::string, std::string>> cases = {
        {"plain caf\xc3\xa9", "plain caf\xc3\xa9", "plain caf\xc3\xa9", "plain caf\xc3\xa9"},
        {"a,b \"q\"", "\"a,b \"\"q\"\"\"", "a,b \"q\"", "a,b \"q\""},
        // A backslash doubled only before what would read as an escape.
        {"\\\\t\\n\\r\\x\\", "\\\\t\\n\\r\\x\\", R"(\\\\t\\n\\r\\x\)", R"(\\\\t\\n\\r\\x\)"},
        {"\\\x01\\\t\\\xe9\\a", "\\\x01\\\t\\\xe9\\a", "\\\\\\x01\\\\\\t\\\xe9\\a",
         R"(\\\x01\\\t\\\xe9\a)"},
        {"a\tb\r\n", "\"a\tb\r\n\"", "a\\tb\\r\\n", "a\\tb\\r\\n"},
        {"\x01\x1b\x7f\xa0\xe9", "\x01\x1b\x7f\xa0\xe9", "\\x01\\x1b\\x7f\xa0\xe9",
         "\\x01\\x1b\\x7f\\xa0\\xe9"},
        // C1 as UTF-8 and raw, right-to-left override, isolate and mark; a
        // zero-width joiner is no control.
        {"\xc2\x85\x85\xe2\x80\xae\xe2\x81\xa6\xe2\x80\x8f\xe2\x80\x8d",
         "\xc2\x85\x85\xe2\x80\xae\xe2\x81\xa6\xe2\x80\x8f\xe2\x80\x8d",
         "\\xc2\\x85\\x85\\xe2\\x80\\xae\\xe2\\x81\\xa6\\xe2\\x80\\x8f\xe2\x80\x8d",
         "\\xc2\\x85\\x85\\xe2\\x80\\xae\\xe2\\x81\\xa6\\xe2\\x80\\x8f\xe2\x80\x8d"},
        {"=1+2", "\"'=1+2\"", "=1+2", "=1+2"},
        {"@SUM(A1)", "\"'@SUM(A1)\"", "@SUM(A1)", "@SUM(A1)"},
        {"-1", "\"'-1\"", "-1", "-1"},
        {"+1", "\"'+1\"", "+1", "+1"},
        {"\rx", "\"'\rx\"", "\\rx", "\\rx"},
        {"'abc", "\"''abc\"", "'abc", "'abc"},
        {"a=b-c'", "a=b-c'", "a=b-c'", "a=b-c'"},
    };
    for (const auto& [name, field, file, shown] : cases) {
        EXPECT_EQ(CsvField(name), field) << name;
        EXPECT_EQ(EscapeText(name), file) << name;
        EXPECT_EQ(EscapeText(name, Escaping::kShown), shown) << name;
    }
}

// A path in a message keeps its first and last components within 256
// bytes, and whole UTF-8 characters.
TEST(Format, LongPathsInMessagesAreShortened) {
    std::string levels;
    std::string accents;
    for (int i = 0; i < 300; ++i) {
        levels += i < 50 ? "/dddddddddd" : "";
        accents += "\xc3\xa9";
    }
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/srv/ a b ", "'/srv/ a b '"},
        {"/srv" + levels + "/x/", "/srv/..." + levels.substr(levels.size() - 242) + "/x/"},
        {"/srv1/" + accents, "/srv1/..." + accents.substr(accents.size() - 246)},
        {"/" + std::string(300, 'a') + "/b", "/" + std::string(63, 'a') + ".../b"},
    };
    for (const auto& [path, shown] : cases) {
        EXPECT_EQ(ShownPath(path), shown);
    }
}

// Runs written by the writer in each style, under the separators of several
// locales, in UTF-8 and in a code page, with names of every byte, sizes to
// 2^128 - 1 and scanning problems whose description would plant a row, read
// back exactly.
TEST(Format, WhatTheWriterWritesReadsBackExactly) {
    const std::vector<std::pair<const char*, LocaleSeparators>> locales = {
        {"C", {}},
        {"de_DE", {".", "\3", ".", ":"}},
        {"fr_FR: U+202F", {"\u202F", "\3", "/", ":"}},
        {"en_PH: no single date separator",
         {",", "\3", SeparatorOfFormat("%A, %d %B, %Y", FormatFields::kDate),
          SeparatorOfFormat("%I:%M:%S %p %Z", FormatFields::kTime)}},
        {"Latin-1: no-break space 0xA0", {"\xa0", "\3", ".", ".", false}},
        {"a blank", {" ", "\3", "-", "."}},
    };
    const ByteCount e64 = ByteCount(1) << 64;
    const ByteCount sizes[] = {0,       1,   999999999999, 1000000000000,
                               e64 - 1, e64, e64 << 63,    ~ByteCount(0)};
    const LocalTime times[] = {{2003, 10, 5, 9, 3, 7}, {2026, 12, 31, 23, 59, 59}};
    std::vector<std::string> names = {
        "a\\tb",        "a\\\\tb", "caf\\xe9", "=a,b",        "'=a,b",
        "''",           "\"q\"",   "  two",    "2024 photos", "\r\n08/12/2026,1,victim",
        "\u202Efdp.exe"};
    for (int byte = 1; byte <= 0xFF; ++byte) {
        names.push_back(std::string(1, static_cast<char>(byte)));
        names.push_back("a\\" + std::string(1, static_cast<char>(byte)) + "'b\\\xc3\xa9");
    }
    for (const char c : {'\\', '\n', '\x85', '"', ','}) {
        names.push_back(std::string(255, c));
    }
    std::sort(names.begin(), names.end());  // as the folder service lists them
    // Every seventh fails, with a description that would plant a row.
    const Error planted{70, "Denied: /srv/\r\n07/12/2026,999999999999,victim\r\n\x1b[2J\\x"};
    std::vector<testing::FakeFolderService::Sub> listings[std::size(times)];
    std::map<std::string, std::vector<std::optional<ByteCount>>> written;
    for (std::size_t i = 0; i < names.size(); ++i) {
        for (std::size_t run = 0; run < std::size(times); ++run) {
            const ByteCount size = sizes[(i + run) % std::size(sizes)];
            listings[run].push_back({names[i], i % 7 == 3 ? Outcome<ByteCount>(planted) : size});
            written[names[i]].push_back(i % 7 == 3 ? std::nullopt : std::optional(size));
        }
    }
    TitleLine = ComposeTitleLine(BuiltInIdentity());
    TargetDir = "/srv/d' at 5-10-2003 10:30:06/";

    for (const auto& [what, separators] : locales) {
        for (const int style : {1, 2, 3}) {
            SCOPED_TRACE(std::string(what) + ", style " + std::to_string(style));
            testing::FakePlatform fake;
            fake.locale = separators;
            fake.files.ascii_only = !separators.utf8;  // there, a code page that lacks much
            OutputStyle = static_cast<std::int16_t>(style);
            for (std::size_t run = 0; run < std::size(times); ++run) {
                fake.folders.folders[TargetDir] = listings[run];
                fake.clock.now = times[run];
                ASSERT_EQ(RunSizeTrack(fake.Get()), RunOutcome::kCompletedWithProblems);
            }
            for (const std::string& notice : fake.messages.notices) {
                EXPECT_EQ(notice.find_first_of("\r\n\x1b"), std::string::npos) << notice;
            }
            history::HistoryBuilder builder;
            for (const auto& [path, bytes] : fake.files.contents) {
                EXPECT_EQ(bytes.find("\n07/12/2026"), std::string::npos) << "planted in " << path;
                builder.BeginFile(path);
                history::ParseTrackingBytes(
                    bytes, TrackingLayout(path.substr(TargetDir.size()), false).value(), builder);
            }
            const history::History h = builder.Finish();
            std::map<std::string, std::vector<std::optional<ByteCount>>> read;
            for (const history::Series& series : h.series) {
                for (const std::uint64_t value : series.values) {
                    read[series.name].push_back(h.ValueOf(value));
                }
            }
            EXPECT_TRUE(read == written);  // the many names would fill the screen
            ASSERT_EQ(h.runs.size(), std::size(times));
            for (std::size_t run = 0; run < std::size(times); ++run) {
                const LocalTime& t = times[run];
                EXPECT_EQ(
                    h.runs[run].when,
                    (history::When{history::DaysFromCivil(t.year, t.month, t.day),
                                   style == 3 ? -1 : (t.hour * 60 + t.minute) * 60 + t.second}));
                EXPECT_EQ(h.files[run % h.files.size()].skipped_lines, 0u);
            }
        }
    }
}

}  // namespace
}  // namespace sizewalk
