// The tracking run and its files, byte for byte, through fake platform
// services: what each style writes, and what happens when something fails.
#include <gtest/gtest.h>

#include <climits>

#include "common/globals.h"
#include "common/reports.h"
#include "fakes.h"
#include "tracking/formats.h"
#include "tracking/run_size_track.h"

namespace sizewalk {
namespace {

const std::string kDir = "/srv/data/";
const std::string kRule = "--------------------------------------------------";
const std::string kTitle = "Sizewalk v2.0.2 ,  Copyright (c) 2003 Maker";

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

class TrackingRun : public ::testing::Test {
  protected:
    void SetUp() override {
        TitleLine = kTitle;
        MessageTitle = "Sizewalk    (c) 2003 Maker";
        CommandText = "1 " + kDir;
        TargetDir = kDir;
        fake.folders.folders[kDir] = {
            {"Documents", std::uint64_t{1234567}},
            {"Private", MakeError(errnum::kPermissionDenied, "/srv/data/Private/cache")},
            {"big", std::uint64_t{999'999'999'999}},
            {"huge", std::uint64_t{1'000'000'000'000}},
            {"tab\there, \"q\"", std::uint64_t{0}},
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
        " 0              Private // Scanning Problem: Permission denied: /srv/data/Private/cache. "
        "Directory size reset to zero.",
        "999,999,999,999 big",
        "1,000,000,000,000",
        "                huge",
        "0               tab\\there, \"q\"",
        "",
        "TOTAL: 2,000,001,234,566 bytes in 5 subdirectories",
        kRule,
        "",
    });
};

TEST_F(TrackingRun, Style1WritesTheHeaderOnceAndAppends) {
    ASSERT_EQ(Run(1), RunOutcome::kCompleted);
    ASSERT_EQ(Run(1), RunOutcome::kCompleted);
    EXPECT_EQ(fake.files.contents.at(kDir + "Sizewalk.txt"),
              Lines({kTitle, kRule, ""}) + report_block + report_block);
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(TrackingRun, Style2ReplacesTheDaysFile) {
    ASSERT_EQ(Run(2), RunOutcome::kCompleted);
    ASSERT_EQ(Run(2), RunOutcome::kCompleted);
    EXPECT_EQ(fake.files.contents.at(kDir + "Sizewalk_20031005.txt"),
              Lines({kTitle, kRule, ""}) + report_block);
    fake.clock.now = {2003, 10, 6, 0, 0, 1};
    ASSERT_EQ(Run(2), RunOutcome::kCompleted);
    EXPECT_EQ(fake.files.contents.count(kDir + "Sizewalk_20031006.txt"), 1u);
    EXPECT_EQ(fake.files.contents.size(), 2u);
}

TEST_F(TrackingRun, Style3AppendsRowsAndQuotesOnlyWhenNeeded) {
    ASSERT_EQ(Run(3), RunOutcome::kCompleted);
    const std::string rows = Lines({
        "05/10/2003,1234567,Documents",
        "05/10/2003,0,Private // Scanning Problem: Permission denied: /srv/data/Private/cache. "
        "Directory size reset to zero.",
        "05/10/2003,999999999999,big",
        "05/10/2003,1000000000000,huge",
        "05/10/2003,0,\"tab\there, \"\"q\"\"\"",
    });
    EXPECT_EQ(fake.files.contents.at(kDir + "Sizewalk.csv"), rows);
    ASSERT_EQ(Run(3), RunOutcome::kCompleted);
    EXPECT_EQ(fake.files.contents.at(kDir + "Sizewalk.csv"), rows + rows);
}

TEST_F(TrackingRun, EmptyDirectory) {
    fake.folders.folders[kDir].clear();
    const std::string empty_block = Lines({
        "Directory Size Track (bytes) for '/srv/data/' at 5-10-2003 10:30:06",
        "",
        "",
        "TOTAL: 0 bytes in 0 subdirectories",
        kRule,
        "",
    });
    ASSERT_EQ(Run(1), RunOutcome::kCompleted);
    EXPECT_EQ(fake.files.contents.at(kDir + "Sizewalk.txt"),
              Lines({kTitle, kRule, ""}) + empty_block);
    ASSERT_EQ(Run(3), RunOutcome::kCompleted);
    EXPECT_EQ(fake.files.contents.at(kDir + "Sizewalk.csv"), "");
}

TEST_F(TrackingRun, EditorOnlyInInteractiveUseAfterTheFileIsWritten) {
    ASSERT_EQ(Run(3), RunOutcome::kCompleted);
    EXPECT_TRUE(fake.editor.opened.empty());
    CommandText.clear();
    ASSERT_EQ(Run(1), RunOutcome::kCompleted);
    EXPECT_EQ(fake.editor.opened, std::vector<std::string>{kDir + "Sizewalk.txt"});
}

TEST_F(TrackingRun, FatalFailuresAreReportedWithLetterB) {
    struct Case {
        const char* what;
        std::function<void(testing::FakePlatform&)> arrange;
        std::string report;
    };
    const Error disk_full = MakeError(errnum::kDiskFull, "/srv/data/Sizewalk.txt");
    const std::vector<Case> cases = {
        {"missing directory",
         [](auto& f) {
             TargetDir = "/nowhere/";
             (void)f;
         },
         "Path not found: /nowhere/\r\n\r\n(Message B76)"},
        {"open refused", [&](auto& f) { f.files.fail_open = MakeError(errnum::kPermissionDenied); },
         "Permission denied\r\n\r\n(Message B70)"},
        {"header write", [](auto& f) { f.files.fail_write_number = 1; },
         "Disk full: fake\r\n\r\n(Message B61)"},
        {"entry write", [](auto& f) { f.files.fail_write_number = 6; },
         "Disk full: fake\r\n\r\n(Message B61)"},
        {"totals write", [](auto& f) { f.files.fail_write_number = 13; },
         "Disk full: fake\r\n\r\n(Message B61)"},
        {"close", [&](auto& f) { f.files.fail_close = disk_full; },
         "Disk full: /srv/data/Sizewalk.txt\r\n\r\n(Message B61)"},
        {"editor",
         [](auto& f) {
             CommandText.clear();
             f.editor.failure = MakeError(errnum::kPathNotFound, "xdg-open");
         },
         "Path not found: xdg-open\r\n\r\n(Message B76)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fake = testing::FakePlatform();
        SetUp();
        c.arrange(fake);
        EXPECT_EQ(Run(1), RunOutcome::kFatal);
        ASSERT_EQ(fake.messages.shown.size(), 1u);
        EXPECT_EQ(fake.messages.shown[0].text, c.report);
        EXPECT_EQ(fake.messages.shown[0].icon, MessageIcon::kWarning);
        EXPECT_EQ(fake.messages.shown[0].title, MessageTitle);
    }
}

TEST(Formats, GroupingFollowsTheLocale) {
    struct Case {
        std::uint64_t value;
        std::string separator;
        std::string grouping;
        std::string expected;
    };
    const std::string no_more_groups(1, static_cast<char>(CHAR_MAX));
    const std::vector<Case> cases = {
        {0, ",", "\3", "0"},
        {999, ",", "\3", "999"},
        {1000, ",", "\3", "1,000"},
        {1234567, ".", "\3", "1.234.567"},
        {18446744073709551615u, ",", "\3", "18,446,744,073,709,551,615"},
        {1234567, ",", "\3\2", "12,34,567"},                // Indian grouping
        {1234567, "'", "\3" + no_more_groups, "1234'567"},  // one group only
        {1234567, "\xE2\x80\xAF", "\3",
         "1\xE2\x80\xAF"
         "234\xE2\x80\xAF"
         "567"},
    };
    for (const Case& c : cases) {
        LocaleSeparators locale;
        locale.digit_group = c.separator;
        locale.grouping = c.grouping;
        EXPECT_EQ(FormatGrouped(c.value, locale), c.expected) << c.value;
    }
}

TEST(Formats, NameColumnCountsCharactersNotBytes) {
    LocaleSeparators locale;
    locale.digit_group = "\xE2\x80\xAF";  // narrow no-break space, 3 bytes
    // 15 characters (21 bytes): the name stays on the line.
    const auto same_line = EntryLines(FormatGrouped(999'999'999'999, locale), "n", locale);
    ASSERT_EQ(same_line.size(), 1u);
    EXPECT_EQ(same_line[0].substr(same_line[0].size() - 2), " n");
    // 17 characters: the name moves to the next line, at column 17.
    const auto two_lines = EntryLines(FormatGrouped(1'000'000'000'000, locale), "n", locale);
    ASSERT_EQ(two_lines.size(), 2u);
    EXPECT_EQ(two_lines[1], std::string(16, ' ') + "n");
}

TEST(Formats, OtherSeparatorsInDatesAndTimes) {
    LocaleSeparators locale;
    locale.date = ".";
    locale.time = ".";
    const LocalTime when{2003, 10, 5, 9, 3, 7};
    EXPECT_EQ(CsvRow(when, 5, "n", locale), "05.10.2003,5,n");
    EXPECT_EQ(HeadLine("/d/", when, locale),
              "Directory Size Track (bytes) for '/d/' at 5-10-2003 09.03.07");
    EXPECT_EQ(HeadLine("/a\nb/", when, locale).find('\n'), std::string::npos);
}

}  // namespace
}  // namespace sizewalk
