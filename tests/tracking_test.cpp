// The tracking run and its files, byte for byte, through fake platform
// services: what each style writes, and what happens when something fails.
#include <gtest/gtest.h>

#include <climits>
#include <tuple>

#include "common/globals.h"
#include "fakes.h"
#include "tracking/formats.h"
#include "tracking/run_size_track.h"

namespace sizewalk {
namespace {

using testing::Lines;
const std::string kDir = "/srv/data/";
const std::string kRule = "--------------------------------------------------";
const std::string kTitle = "Sizewalk v2.0.2 ,  Copyright (c) 2003 Maker";

class TrackingRun : public ::testing::Test {
  protected:
    void SetUp() override {
        TitleLine = kTitle;
        MessageTitle = "Sizewalk    (c) 2003 Maker";
        CommandText = "1 " + kDir;
        TargetDir = kDir;
        fake.folders.folders[kDir] = {
            {"Documents", ByteCount{1234567}},
            {"Private", MakeError(errnum::kPermissionDenied, "/srv/data/Private/ca\tche")},
            {"big", ByteCount{999'999'999'999}},
            {"huge", ByteCount{1'000'000'000'000}},
            {"vast", (ByteCount{1} << 64) + 5},  // sparse files pass 2^64
        };
    }

    RunOutcome Run(int style) {
        OutputStyle = static_cast<std::int16_t>(style);
        return RunSizeTrack(fake.Get());
    }

    testing::FakePlatform fake;
    const std::string report_block = Lines({
        "Directory Size Track (bytes) for '/srv/data/' at 5-10-2003 10:30:06",
        "",
        "1,234,567       Documents",
        " 0              Private // Scanning Problem: Permission denied: "
        "/srv/data/Private/ca\\tche. "
        "Directory size reset to zero.",
        "999,999,999,999 big",
        "1,000,000,000,000",
        "                huge",
        "18,446,744,073,709,551,621",
        "                vast",
        "",
        "TOTAL: 18,446,746,073,710,786,187 bytes in 5 subdirectories",
        kRule,
        "",
    });
};

// The header goes into a file that is empty once this run has it to itself:
// a first run, a file left empty (what another run wrote meanwhile:
// PosixFileService.ConcurrentRuns).
TEST_F(TrackingRun, EveryStyle) {
    const std::string path = kDir + "Sizewalk.txt";
    const std::string header = Lines({kTitle, kRule, ""});
    ASSERT_EQ(Run(1), RunOutcome::kCompletedWithProblems);
    ASSERT_EQ(Run(1), RunOutcome::kCompletedWithProblems);
    EXPECT_EQ(fake.files.contents.at(path), header + report_block + report_block);
    EXPECT_TRUE(fake.messages.shown.empty());
    // Each run notices its scanning problem on standard error.
    EXPECT_EQ(
        fake.messages.notices,
        std::vector<std::string>(2,
                                 "Private // Scanning Problem: Permission denied: "
                                 "/srv/data/Private/ca\\tche. Directory size reset to zero."));
    fake.files.contents[path] = "";
    ASSERT_EQ(Run(1), RunOutcome::kCompletedWithProblems);
    EXPECT_EQ(fake.files.contents.at(path), header + report_block);
    // Style 2 replaces the day's file: a header and the one block.
    ASSERT_EQ(Run(2), RunOutcome::kCompletedWithProblems);
    ASSERT_EQ(Run(2), RunOutcome::kCompletedWithProblems);
    EXPECT_EQ(fake.files.contents.at(kDir + "Sizewalk_20031005.txt"), header + report_block);
    // Style 3 appends rows.
    ASSERT_EQ(Run(3), RunOutcome::kCompletedWithProblems);
    const std::string rows = Lines({
        "05/10/2003,1234567,Documents",
        "05/10/2003,0,Private // Scanning Problem: Permission denied: /srv/data/Private/ca\\tche. "
        "Directory size reset to zero.",
        "05/10/2003,999999999999,big",
        "05/10/2003,1000000000000,huge",
        "05/10/2003,18446744073709551621,vast",
    });
    EXPECT_EQ(fake.files.contents.at(kDir + "Sizewalk.csv"), rows);
    ASSERT_EQ(Run(3), RunOutcome::kCompletedWithProblems);
    EXPECT_EQ(fake.files.contents.at(kDir + "Sizewalk.csv"), rows + rows);
    // An empty directory: an empty block, no rows.
    fake.folders.folders[kDir].clear();
    fake.files.contents.clear();
    ASSERT_EQ(Run(1), RunOutcome::kCompleted);
    EXPECT_EQ(fake.files.contents.at(path),
              header + Lines({"Directory Size Track (bytes) for '/srv/data/' at 5-10-2003 10:30:06",
                              "", "", "TOTAL: 0 bytes in 0 subdirectories", kRule, ""}));
    ASSERT_EQ(Run(3), RunOutcome::kCompleted);
    EXPECT_EQ(fake.files.contents.at(kDir + "Sizewalk.csv"), "");
    // One reading of the clock per run, so that a run across midnight names
    // its file, heads its report and dates its rows by one day.
    EXPECT_EQ(fake.clock.reads, 9);
}

// A fatal failure leaves the file exactly as it was before the run.
TEST_F(TrackingRun, FatalFailuresAreReportedWithLetterB) {
    using Arrange = std::function<void(testing::FakePlatform&)>;
    const Error disk_full = MakeError(errnum::kDiskFull, "/srv/data/Sizewalk.txt");
    const Error stopped = Interrupted(15);
    const std::string b18 = "User interrupt occurred (signal 15)\r\n\r\n(Message B18)";
    const std::vector<std::tuple<const char*, int, Arrange, std::string>> cases = {
        {"missing directory", 1, [](auto&) { TargetDir = "/nowhere/"; },
         "Path not found: /nowhere/\r\n\r\n(Message B76)"},
        {"open refused", 3,
         [&](auto& f) { f.files.fail_open = MakeError(errnum::kPermissionDenied); },
         "Permission denied\r\n\r\n(Message B70)"},
        {"write", 3, [&](auto& f) { f.files.fail_write = disk_full; },
         "Disk full: /srv/data/Sizewalk.txt\r\n\r\n(Message B61)"},
        {"stopped while measuring", 3, [&](auto& f) { f.folders.folders[kDir][3].size = stopped; },
         b18},
        {"stopped after measuring", 2, [](auto& f) { f.stop = 15; }, b18},
    };
    for (const auto& [what, style, arrange, report] : cases) {
        SCOPED_TRACE(what);
        testing::FakePlatform f;
        f.folders.folders = fake.folders.folders;
        for (const char* name : {"Sizewalk.txt", "Sizewalk_20031005.txt", "Sizewalk.csv"}) {
            f.files.contents[kDir + name] = "before\r\n";
        }
        const auto before = f.files.contents;
        arrange(f);
        OutputStyle = static_cast<std::int16_t>(style);
        EXPECT_EQ(RunSizeTrack(f.Get()), RunOutcome::kFatal);
        ASSERT_EQ(f.messages.shown.size(), 1u);
        EXPECT_EQ(f.messages.shown[0].text, report);
        EXPECT_EQ(f.files.contents, before);
        TargetDir = kDir;
    }
}

TEST(Formats, GroupingFollowsTheLocale) {
    const std::string no_more_groups(1, static_cast<char>(CHAR_MAX));
    const std::vector<std::tuple<ByteCount, std::string, std::string, std::string>> cases = {
        {~ByteCount{0}, "", "\3", "340282366920938463463374607431768211455"},
        {1234567, ",", "\3\2", "12,34,567"},                // Indian grouping
        {1234567, "'", "\3" + no_more_groups, "1234'567"},  // one group only
    };
    for (const auto& [value, separator, grouping, expected] : cases) {
        LocaleSeparators locale;
        locale.digit_group = separator;
        locale.grouping = grouping;
        EXPECT_EQ(FormatGrouped(value, locale), expected);
    }
    // With one group only a size field can be 16 characters wide: the name
    // follows at column 17. One of 17 puts the name on the next line.
    const LocaleSeparators one_group{"'", "\3" + no_more_groups};
    EXPECT_EQ(EntryLines(FormatGrouped(123456789012345, one_group), "n", one_group),
              std::vector<std::string>{"123456789012'345n"});
    EXPECT_EQ(EntryLines(FormatGrouped(1234567890123456, one_group), "n", one_group),
              (std::vector<std::string>{"1234567890123'456", std::string(16, ' ') + "n"}));
}

// The separators of glibc's D_FMT and T_FMT, of real locales and made-up
// ones: one character between all the fields, or "/" and ":".
TEST(Formats, SeparatorsOfLocaleFormats) {
    const std::vector<std::tuple<const char*, const char*, std::string, std::string>> cases = {
        {"fi_FI", "%d.%m.%Y", "%H.%M.%S", ".."},
        {"nb_NO", "%d. %b %Y", "kl. %H.%M %z", "/."},
        {"ja_JP", "%Y\u5E74%m\u6708%d\u65E5", "%H\u6642%M\u5206%S\u79D2", "/:"},
        {"composite, flags", "%F", "%-OH.%_M", "-."},
        {"mixed", "%d-%m/%Y", "%H.%M:%S", "/:"},
        {"comma, quote", "%d,%m,%Y", "%H\"%M\"%S", "/:"},
        {"digit, letter", "%d0%m0%Y", "%Hh%Mh%S", "/:"},
        {"none", "%Y", "", "/:"},
    };
    for (const auto& [locale, date, time, expected] : cases) {
        EXPECT_EQ(SeparatorOfFormat(date, FormatFields::kDate) +
                      SeparatorOfFormat(time, FormatFields::kTime),
                  expected)
            << locale;
    }
}

}  // namespace
}  // namespace sizewalk
