// The tracking file format: what the writer makes of hostile names, and
// that the reader takes back exactly what the writer wrote, in every style
// and locale.
#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "common/globals.h"
#include "common/text.h"
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
        {"a\\tb\\", "a\\tb\\", "a\\\\tb\\\\", "a\\\\tb\\\\"},
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
    const auto times = [](int n, const std::string& part) {
        std::string text;
        while (n-- > 0) {
            text += part;
        }
        return text;
    };
    const std::string level = "/dddddddddd";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/srv/ a b ", "'/srv/ a b '"},
        {"/srv" + times(22, level) + "/x", "/srv" + times(22, level) + "/x"},
        {"/srv" + times(50, level) + "/x/", "/srv/..." + times(22, level) + "/x/"},
        {"/srv1/" + times(300, "\xc3\xa9"), "/srv1/..." + times(123, "\xc3\xa9")},
        {"/" + times(300, "a") + "/b", "/" + times(63, "a") + ".../b"},
    };
    for (const auto& [path, shown] : cases) {
        EXPECT_EQ(ShownPath(path), shown);
    }
}

// Runs written by the writer in each style, under the separators of several
// locales, with names of every byte, sizes to 2^128 - 1 and scanning
// problems whose description would plant a row, read back exactly.
TEST(Format, WhatTheWriterWritesReadsBackExactly) {
    const auto locale = [](std::string group, std::string date, std::string time, bool utf8) {
        return LocaleSeparators{std::move(group), "\3", std::move(date), std::move(time), utf8};
    };
    const std::vector<std::pair<const char*, LocaleSeparators>> locales = {
        {"C", LocaleSeparators{}},
        {"de_DE", locale(".", ".", ":", true)},
        {"fr_FR: U+202F", locale("\u202F", "/", ":", true)},
        {"en_PH: no single date separator",
         locale(",", SeparatorOfFormat("%A, %d %B, %Y", FormatFields::kDate),
                SeparatorOfFormat("%I:%M:%S %p %Z", FormatFields::kTime), true)},
        {"Latin-1: no-break space 0xA0", locale("\xa0", ".", ".", false)},
    };
    const ByteCount sizes[] = {0,
                               1,
                               999'999'999'999,
                               1'000'000'000'000,
                               ~std::uint64_t{0},
                               ByteCount{1} << 64,
                               ByteCount{1} << 127,
                               ~ByteCount{0}};
    const LocalTime times[] = {{2003, 10, 5, 9, 3, 7}, {2026, 12, 31, 23, 59, 59}};
    std::vector<std::string> names = {"a\\tb",
                                      "a\\\\tb",
                                      "caf\\xe9",
                                      "=a,b",
                                      "'=a,b",
                                      "''",
                                      "\"q\"",
                                      "  two",
                                      "2024 photos",
                                      "\r\n08/12/2026,1,victim",
                                      std::string(255, '\\'),
                                      std::string(255, '\n'),
                                      std::string(255, '\x85'),
                                      std::string(85, '"') + std::string(85, ',') + "\xe2\x80\xae"};
    for (int byte = 1; byte <= 0xFF; ++byte) {
        names.push_back(std::string(1, static_cast<char>(byte)));
        names.push_back("a" + std::string(1, static_cast<char>(byte)) + "'b");
    }
    const auto failed = [](std::size_t i) { return i % 7 == 3; };
    const auto size = [&](std::size_t i, std::size_t run) { return sizes[(i + run) % 8]; };
    const Error planted{70, "Denied: /srv/\r\n07/12/2026,999999999999,victim\r\n\x1b[2J\\x"};

    for (const auto& [what, separators] : locales) {
        for (const int style : {1, 2, 3}) {
            SCOPED_TRACE(std::string(what) + ", style " + std::to_string(style));
            testing::FakePlatform fake;
            fake.locale = separators;
            TargetDir = "/srv/data/";
            OutputStyle = static_cast<std::int16_t>(style);
            for (std::size_t run = 0; run < std::size(times); ++run) {
                auto& subs = fake.folders.folders[TargetDir];
                subs.clear();
                for (std::size_t i = 0; i < names.size(); ++i) {
                    subs.push_back({names[i], failed(i) ? Outcome<ByteCount>(planted)
                                                        : Outcome<ByteCount>(size(i, run))});
                }
                fake.clock.now = times[run];
                ASSERT_EQ(RunSizeTrack(fake.Get()), RunOutcome::kCompletedWithProblems);
            }
            for (const std::string& notice : fake.messages.notices) {
                EXPECT_EQ(notice.find_first_of("\r\n\x1b"), std::string::npos) << notice;
            }
            for (const auto& [path, bytes] : fake.files.contents) {
                EXPECT_EQ(bytes.find("\n07/12/2026"), std::string::npos) << "planted in " << path;
            }

            history::HistoryBuilder builder;
            for (const auto& [path, bytes] : fake.files.contents) {
                builder.BeginFile(path);
                history::ParseTrackingBytes(bytes, style == 3 ? Layout::kCsv : Layout::kText,
                                            builder);
            }
            const history::History h = builder.Finish();
            ASSERT_EQ(h.runs.size(), std::size(times));
            for (std::size_t run = 0; run < std::size(times); ++run) {
                const LocalTime& t = times[run];
                const int seconds = style == 3 ? -1 : (t.hour * 60 + t.minute) * 60 + t.second;
                EXPECT_EQ(h.runs[run].when,
                          (history::When{history::DaysFromCivil(t.year, t.month, t.day), seconds}));
            }
            std::map<std::string, std::size_t> index;
            for (std::size_t i = 0; i < names.size(); ++i) {
                index[names[i]] = i;
            }
            ASSERT_EQ(h.series.size(), names.size());
            for (const history::Series& series : h.series) {
                ASSERT_EQ(index.count(series.name), 1u) << EscapeText(series.name);
                const std::size_t i = index[series.name];
                ASSERT_EQ(series.runs, (std::vector<std::uint32_t>{0, 1})) << i;
                for (std::size_t run = 0; run < 2; ++run) {
                    const std::optional<ByteCount> value = h.ValueOf(series.values[run]);
                    EXPECT_EQ(value, failed(i) ? std::nullopt : std::optional(size(i, run))) << i;
                }
            }
            for (const history::FileSummary& file : h.files) {
                EXPECT_EQ(file.skipped_lines, 0u) << file.name;
            }
        }
    }
}

}  // namespace
}  // namespace sizewalk
