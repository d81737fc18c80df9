// The size history: the tracking files as they really are, read back, and
// the figures worked out from them.
#include <gtest/gtest.h>

#include <tuple>

#include "common/tracking_file/fields.h"
#include "common/tracking_file/names.h"
#include "fakes.h"
#include "history/figures.h"
#include "history/history.h"
#include "history/reader.h"
#include "history/text.h"

namespace sizewalk {
namespace {

using namespace history;
using testing::Lines;

// Each run on a line: its time, then name=bytes (? for a failed
// measurement); then what the file's summary says.
std::string Dump(const History& h) {
    std::vector<std::string> runs(h.runs.size());
    for (std::size_t r = 0; r < h.runs.size(); ++r) {
        runs[r] = IsoWhen(h.runs[r].when) + (h.runs[r].complete ? "" : " (cut off)") + ":";
    }
    for (const Series& series : h.series) {
        for (std::size_t p = 0; p < series.runs.size(); ++p) {
            const auto value = h.ValueOf(series.values[p]);
            std::string& run = runs[series.runs[p]];
            run += ' ';
            run += Shown(series.name) + "=" + (value ? Decimal(*value) : "?");
        }
    }
    std::string text;
    for (const std::string& run : runs) {
        text += run + "\n";
    }
    for (const std::string& note : FileNotes(h)) {
        text += note + "\n";
    }
    return text;
}

// Read on 2026-12-08 at noon.
History Parse(Layout layout, std::string_view bytes) {
    HistoryBuilder builder(When{DaysFromCivil(2026, 12, 8), 12 * 3600});
    builder.BeginFile("f");
    ParseTrackingBytes(bytes, layout, builder);
    return builder.Finish();
}

const std::string kProblem =
    " // Scanning Problem: Permission denied: /srv/data/x. Directory size reset to zero.";
const std::string kRule(50, '-');
const std::string kHead = "Directory Size Track (bytes) for 'C:\\Data\\' at ";

// What, the layout, the bytes, the runs Dump() shows.
const std::tuple<const char*, Layout, std::string, std::string> kParseCases[] = {
    {"the original's unquoted commas; locales mixed; a name that repeats or sorts before the "
     "row above starts a run",
     Layout::kCsv,
     "05/10/2003,5,a,b\r\n"
     "05.10.2003,6,\"c\r\n"
     "05.10.2003,7,a,b\r\n"
     "05.10.2003,9,d \"x\" y\r\n"
     "07, 12, 2026,8,c\r\n"
     "07\xe5\xb9\xb4"
     "12\xe5\xb9\xb4"
     "2026,18446744073709551616000,c\r\n",
     "2003-10-05: a,b=5\n2003-10-05: a,b=7 \"c=6 d \"x\" y=9\n2026-12-07: c=8\n"
     "2026-12-07: c=18446744073709551616000\n"},
    {"a run across midnight, Windows' order (either case alike), a day skipped, the future",
     Layout::kCsv,
     Lines({"01/12/2026,1,a", "02/12/2026,2,b", "02/12/2026,3,0", "02/12/2026,4,a",
            "02/12/2026,5,B", "02/12/2026,6,c", "03/12/2026,7,a", "05/12/2026,8,b",
            "31/12/2036,9,c"}),
     "2026-12-01: a=1 b=2\n2026-12-02: a=4 0=3 B=5 c=6\n2026-12-03: a=7\n2026-12-05: b=8\n"
     "f: 1 run is dated after now and left out (a clock that was wrong?): 2036-12-31\n"},
    {"the formula guard, a Latin-1 name, LF-only lines, a byte-order mark, a torn last line",
     Layout::kCsv,
     "\xEF\xBB\xBF"
     "05/10/2003,2,'=kept\n"
     "05/10/2003,4,\"'abc\"\n"
     "05/10/2003,3,caf\xe9\n"
     "06/10/2003,4,tor",
     "2003-10-05: '=kept=2 'abc=4 caf\\xe9=3\nf: 1 line could not be read and was skipped "
     "(line 4)\n"},
    {"UTF-16", Layout::kCsv,
     std::string("\xFF\xFE"
                 "0\0"
                 "5\0",
                 6),
     "f: is UTF-16 (an editor's \"Unicode\"), which no version writes; not read\n"},
    {"lines that cannot be read: glued rows, bad dates and sizes, no name", Layout::kCsv,
     Lines({"05/10/2003,1,a", "07/107/12/2026,0,a", "31/02/2003,1,a", "05/10/2003,x1,a",
            "05/10/2003,1,", "05/10/2003,0, // Scanning Problem: no name.",
            "05/10/2003,340282366920938463463374607431768211456,a", "", "05/10/2003,2,b"}),
     "2003-10-05: a=1 b=2\nf: 7 lines could not be read and were skipped (the first is line "
     "2)\n"},
    {"the original in code page 1252 with LF only: a block cut off, names with blanks, "
     "escapes, an undated block, a block still open",
     Layout::kText,
     kHead +
         "5-10-2003 9:05:01\n\n1\xa0"
         "234\xa0"
         "567       caf\xe9\n"
         "12                two blanks\n"
         "garbage\n"
         "340,282,366,920,938,463,463,374,607,431,768,211,456 x\n" +
         kHead + "32-10-2003 10:30:06\n\n7               lost\n\nTOTAL: 7 bytes\n" + kRule +
         "\n\n" + kHead +
         "6-10-2003 10:30:06\n\n5               caf\xe9\n"
         "6               an earlier version's \\q\\x41\n\n"
         "TOTAL: 5 bytes in 1 subdirectories\n" +
         kRule + "\n\nnot a report\n" + kHead +
         "7-10-2003 10:30:06\n\n8               open\n\nTOTAL: 8 bytes in 1 subdirectories\n",
     "2003-10-05T09:05:01 (cut off): caf\\xe9=1234567   two blanks=12\n"
     "2003-10-06T10:30:06: caf\\xe9=5 an earlier version's \\qA=6\n"
     "f: 6 lines could not be read and were skipped (the first is line 5)\n"},
    {"a read block ending inside a quoted name, a line longer than a block", Layout::kCsv,
     std::string((1 << 20) - 20, '\n') + "05/10/2003,7,\"a\r\nb\"\r\n" + std::string(3 << 20, 'x') +
         "\r\n07/10/2003,1,c\r\n",
     "2003-10-05: a\\r\\nb=7\n2003-10-07: c=1\n"
     "f: 1048557 lines could not be read and were skipped (the first is line 1)\n"},
};

TEST(HistoryParse, ReadsEveryLayoutAsWritten) {
    for (const auto& [what, layout, bytes, runs] : kParseCases) {
        EXPECT_EQ(Dump(Parse(layout, bytes)), runs) << what;
    }
}

// The file names of a history (the writer's are read back by Format tests); on
// Windows they are found whatever their case.
TEST(HistoryParse, TrackingFileNames) {
    EXPECT_EQ(TrackingLayout("SIZEWALK.TXT", true), Layout::kText);
    for (const char* name : {"SIZEWALK.TXT", "Sizewalk_2003100.txt", "Sizewalk_2003100x.txt",
                             "Sizewalk.csv.bak", "xSizewalk.txt"}) {
        EXPECT_FALSE(TrackingLayout(name, false)) << name;
    }
}

// Rounding to one decimal carries into the next unit.
TEST(HistoryText, HumanUnits) {
    EXPECT_EQ(HumanSize(1023), "1023 B");
    EXPECT_EQ(HumanSize(1048524), "1023.9 KiB");
    EXPECT_EQ(HumanSize(1048525), "1.0 MiB");
    EXPECT_EQ(HumanChange(-1048525), "-1.0 MiB");
}

std::string Change(const std::optional<ByteChange>& change) {
    return change ? SignedDecimal(*change) : "_";
}

// Each subdirectory's changes since the previous run, over 7 and 30 days,
// and its notes: a figure spans what its label says or stays empty.
TEST(HistoryFigures, ChangesGapsAndSpans) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        // The 7- and 30-day changes compare with the last run on or before that day.
        {{"03/10/2026,1,a", "04/10/2026,2,a", "05/10/2026,4,a", "27/10/2026,8,a", "28/10/2026,16,a",
          "03/11/2026,32,a"},
         "a +16 +24 +30 \n"},
        // A problem 7 days back, and today: no figure reaches past it.
        {{"01/10/2026,1,a", "01/10/2026,1,b", "27/10/2026,0,a" + kProblem, "27/10/2026,2,b",
          "02/11/2026,3,a", "02/11/2026,3,b", "03/11/2026,5,a", "03/11/2026,0,b" + kProblem},
         "a +2 _ +4 \nb _ _ _ \n"},
        // Back with a problem after a run without it: a gap, not 0.
        {{"01/10/2026,4,a", "01/10/2026,1,b", "02/10/2026,1,b", "03/10/2026,0,a" + kProblem,
          "03/10/2026,1,b"},
         "a _ _ _ \nb 0 _ _ \n"},
    };
    for (const auto& [rows, expected] : cases) {
        const History h = Parse(Layout::kCsv, Lines(rows));
        std::string text;
        for (const Figures& f : ComputeFigures(h, SortKey::kChange)) {
            text += h.series[f.series].name + " " + Change(f.change_previous) + " " +
                    Change(f.change_7_days) + " " + Change(f.change_30_days) + " " +
                    (f.gone_since ? IsoWhen(h.runs[*f.gone_since].when) : "") + "\n";
        }
        EXPECT_EQ(text, expected) << rows.front();
    }
    const std::string a = "1               a";
    const History h =
        Parse(Layout::kText, Lines({kHead + "1-10-2026 1:00:00", "", a, "2               b", "",
                                    "TOTAL: 3", kRule, kHead + "2-10-2026 1:00:00", "", a,
                                    kHead + "3-10-2026 1:00:00", "", a, "", "TOTAL: 1", kRule}));
    EXPECT_EQ(h.runs.size(), 3u);
    // Gone since the first run that was not cut off; the run cut off tells no size.
    const Figures b = ComputeFigures(h, SortKey::kName).at(1);
    EXPECT_EQ(b.gone_since, 2u);
    EXPECT_FALSE(b.change_previous);
    // Where every figure ties, by name.
    const History ties = Parse(
        Layout::kText, Lines({kHead + "1-10-2026 1:00:00", "", "1               e",
                              "1               d", "1               c", "", "TOTAL: 3", kRule}));
    std::string names;
    for (const Figures& f : ComputeFigures(ties, SortKey::kChange)) {
        names += ties.series[f.series].name;
    }
    EXPECT_EQ(names, "cde");
}

}  // namespace
}  // namespace sizewalk
