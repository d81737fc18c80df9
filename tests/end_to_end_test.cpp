// The built program on real trees: the rows it writes against an
// independent measurement, a really unreadable subdirectory, exit statuses.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "history/history.h"
#include "temp_dir.h"

namespace sizewalk {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::Result;
using testing::RunProgram;
using testing::TempDir;

// The program's arguments to run it as an unprivileged user when running as
// root, since permissions do not stop root. The program is copied where that
// user can reach it: the build tree may lie below a private folder.
std::vector<std::string> Unprivileged(const std::vector<std::string>& arguments) {
    if (geteuid() != 0) {
        std::vector<std::string> argv = {SIZEWALK_BINARY};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return argv;
    }
    static const TempDir reachable;
    const fs::path copy = reachable.fs() / "sizewalk";
    if (!fs::exists(copy)) {
        fs::copy_file(SIZEWALK_BINARY, copy);
        fs::permissions(copy, fs::perms::all);
    }
    std::vector<std::string> argv = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                                     copy.string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return argv;
}

// Splits a CSV row into fields, undoing the quoting.
std::vector<std::string> CsvFields(const std::string& row) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < row.size(); ++i) {
        const char c = row[i];
        if (quoted && c == '"' && i + 1 < row.size() && row[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

std::vector<std::string> CrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "every line ends with CR LF";
    return lines;
}

TEST(EndToEnd, RowsMatchAnIndependentMeasurementOfAnEdgeTree) {
    TempDir tmp;
    const std::string root = tmp.path() + "tree";
    const auto expected =
        testing::MakeTree(SIZEWALK_MAKE_TREE, root, {"--edge", "--files", "3000"});
    ASSERT_GT(expected.size(), 10u);

    const Result run = RunProgram({SIZEWALK_BINARY, "3", root + "/"});
    ASSERT_EQ(run.exit_status, 0) << run.output;
    EXPECT_EQ(run.output, "");
    const auto rows = CrLfLines(ReadFile(root + "/Sizewalk.csv"));
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto fields = CsvFields(rows[i]);
        ASSERT_EQ(fields.size(), 3u) << rows[i];
        EXPECT_EQ(fields[2], expected[i].first);
        EXPECT_EQ(fields[1], expected[i].second) << expected[i].first;
    }
}

TEST(EndToEnd, UnreadableSubdirectoryIsWrittenAsAScanningProblem) {
    TempDir tmp;
    tmp.File("open/data", 10);
    tmp.File("private/inner/secret", 99);
    tmp.File("zz/data", 5);
    fs::permissions(tmp.fs() / "private/inner", fs::perms::none);
    fs::permissions(tmp.fs(), fs::perms::all);  // the unprivileged run writes the file here
    const Result run = RunProgram(Unprivileged({"3", tmp.path()}));
    ASSERT_EQ(run.exit_status, 0) << run.output;
    const auto rows = CrLfLines(ReadFile(tmp.fs() / "Sizewalk.csv"));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(CsvFields(rows[0])[1], "10");
    EXPECT_EQ(CsvFields(rows[1])[1], "0");
    EXPECT_EQ(CsvFields(rows[1])[2],
              "private // Scanning Problem: Permission denied: " + tmp.path() +
                  "private/inner. Directory size reset to zero.");
    EXPECT_EQ(CsvFields(rows[2])[1], "5");
}

TEST(EndToEnd, ExitStatusesAndNoFileOnFailure) {
    TempDir tmp;
    const Result missing = RunProgram({SIZEWALK_BINARY, "2", tmp.path() + "missing/"});
    EXPECT_EQ(missing.exit_status, 1);
    EXPECT_NE(missing.output.find("(Message B76)"), std::string::npos) << missing.output;
    EXPECT_FALSE(fs::exists(tmp.fs() / "missing"));

    const Result invalid = RunProgram({SIZEWALK_BINARY, "2", tmp.path() + "x"});
    EXPECT_EQ(invalid.exit_status, 2);
    EXPECT_NE(invalid.output.find("Invalid parameters in command line!"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(tmp.fs()));

    // No write permission in the directory: the listing works, the file cannot be made.
    fs::permissions(tmp.fs(), fs::perms::owner_read | fs::perms::owner_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
    const Result denied = RunProgram(Unprivileged({"3", tmp.path()}));
    EXPECT_EQ(denied.exit_status, 1);
    EXPECT_NE(denied.output.find("(Message B70)"), std::string::npos) << denied.output;
}

// The history reads back what the runs wrote and writes nothing into the
// directory.
TEST(EndToEnd, HistoryReadsTheRunsBackAndWritesNothing) {
    TempDir tmp;
    tmp.File("alpha/a", 1000);
    for (const char* style : {"1", "3"}) {
        ASSERT_EQ(RunProgram({SIZEWALK_BINARY, style, tmp.path()}).exit_status, 0);
    }
    tmp.File("alpha/b", 500);
    ASSERT_EQ(RunProgram({SIZEWALK_BINARY, "3", tmp.path()}).exit_status, 0);
    auto snapshot = [&tmp] {
        std::string entries;
        for (const auto& entry : fs::directory_iterator(tmp.fs())) {
            entries += entry.path().filename().string() + " " +
                       std::to_string(entry.last_write_time().time_since_epoch().count()) + "\n";
        }
        return entries;
    };
    const std::string before = snapshot();
    const Result csv = RunProgram({SIZEWALK_BINARY, "--history", tmp.path(), "--format=csv"});
    EXPECT_EQ(csv.exit_status, 0);
    EXPECT_NE(csv.output.find("\r\nalpha,1500,"), std::string::npos) << csv.output;
    EXPECT_NE(csv.output.find(",1,+500,"), std::string::npos) << csv.output;

    const auto page = history::WriteHistoryPage(tmp.path(), *MakeSystemHistory());
    ASSERT_TRUE(page.ok() && page.value());
    EXPECT_TRUE(page.value()->ends_with(".html"));
    EXPECT_NE(ReadFile(*page.value()).find("<svg"), std::string::npos);
    fs::remove(*page.value());
    EXPECT_EQ(snapshot(), before);

    // Only plain files are read: a FIFO or a link under a tracking file's name is left out.
    ASSERT_EQ(mkfifo((tmp.fs() / "Sizewalk_20031005.txt").c_str(), 0600), 0);
    fs::create_symlink(tmp.fs() / "Sizewalk.txt", tmp.fs() / "Sizewalk_20031006.txt");
    const Result again = RunProgram({SIZEWALK_BINARY, "--history", tmp.path(), "--format=csv"});
    EXPECT_EQ(again.exit_status, 0);
    EXPECT_EQ(again.output, csv.output);
    for (const char* name : {"Sizewalk_20031005.txt", "Sizewalk_20031006.txt"}) {
        const auto file = MakeSystemHistory()->OpenForReading(tmp.path() + name);
        EXPECT_FALSE(file.ok()) << name;
    }
}

}  // namespace
}  // namespace sizewalk
