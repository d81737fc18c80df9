// The built program on real trees: the rows it writes against an
// independent measurement, a really unreadable subdirectory, exit statuses.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>

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

// Splits a CSV row into fields, undoing the quoting and the apostrophe
// before a formula-like name.
std::vector<std::string> CsvFields(const std::string& row) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < row.size(); ++i) {
        const char c = row[i];
        if (quoted && c == '"' && i + 1 < row.size() && row[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            if (!quoted && fields.back().empty() && row.compare(i + 1, 1, "'") == 0 &&
                i + 2 < row.size() &&
                std::string_view("=+-@\t\r").find(row[i + 2]) != std::string_view::npos) {
                ++i;
            }
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
    // Written, but the scheduler hears of it.
    ASSERT_EQ(run.exit_status, 3) << run.output;
    EXPECT_EQ(run.output, "sizewalk: private // Scanning Problem: Permission denied: " +
                              tmp.path() + "private/inner. Directory size reset to zero.\n");
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
    EXPECT_EQ(missing.output,
              "sizewalk: Path not found: " + tmp.path() + "missing/ (Message B76)\n");
    EXPECT_FALSE(fs::exists(tmp.fs() / "missing"));

    const Result invalid = RunProgram({SIZEWALK_BINARY, "2", tmp.path() + "x"});
    EXPECT_EQ(invalid.exit_status, 2);
    EXPECT_EQ(invalid.output,
              "sizewalk: Invalid parameters in command line!\n"
              "sizewalk: the directory must end with '/': sizewalk 2 /srv/data/\n");
    EXPECT_TRUE(fs::is_empty(tmp.fs()));

    // No write permission in the directory: the listing works, the file cannot be made.
    fs::permissions(tmp.fs(), fs::perms::owner_read | fs::perms::owner_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
    const Result denied = RunProgram(Unprivileged({"3", tmp.path()}));
    EXPECT_EQ(denied.exit_status, 1);
    EXPECT_NE(denied.output.find("(Message B70)"), std::string::npos) << denied.output;
}

// Fills the file system `dir` is on until nothing more fits.
void Fill(const std::string& dir) {
    std::ofstream filler(dir + "filler", std::ios::binary);
    const std::string block(512, 'x');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) &&
           filler.flush()) {
    }
}

std::string Today() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    char text[16];
    return std::string(text, std::strftime(text, sizeof text, "%Y%m%d", &parts));
}

// A full disk ends a run with the file exactly as before: no file after a
// first run, the earlier report of the day for style 2. With room again the
// next run adds a clean block. Sizes past 2^64 are exact.
TEST(EndToEnd, OnATinyFileSystem) {
    testing::Tmpfs tmpfs("64k");
    if (!tmpfs.mounted()) {
        GTEST_SKIP() << "mounting a tmpfs needs root";
    }
    const std::string dir = tmpfs.path();
    // A block of more than a page, so that no run fits in a page's slack.
    for (int i = 10; i < 40; ++i) {
        fs::create_directory(dir + std::to_string(i) + std::string(150, 'n'));
    }
    // Three sparse files of 2^63 - 1 bytes, no blocks: 2^64 and more in all.
    for (const char* name : {"a", "b", "c"}) {
        const fs::path file = dir + "10" + std::string(150, 'n') + "/" + name;
        std::ofstream{file};
        fs::resize_file(file, (std::uintmax_t{1} << 63) - 1);
    }
    struct Case {
        std::string style;
        std::string file;
        bool existing;
    };
    const std::vector<Case> cases = {
        {"1", "Sizewalk.txt", false},  // the failed first run leaves no empty file
        {"1", "Sizewalk.txt", true},
        {"3", "Sizewalk.csv", true},
        {"2", "Sizewalk_" + Today() + ".txt", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("style " + c.style + (c.existing ? "" : ", first run"));
        const std::string path = dir + c.file;
        if (c.existing) {
            ASSERT_EQ(RunProgram({SIZEWALK_BINARY, c.style, dir}).exit_status, 0);
        }
        const std::string before = c.existing ? ReadFile(path) : "";
        Fill(dir);
        const Result full = RunProgram({SIZEWALK_BINARY, c.style, dir});
        EXPECT_EQ(full.exit_status, 1);
        EXPECT_NE(full.output.find("(Message B61)"), std::string::npos) << full.output;
        EXPECT_EQ(fs::exists(path), c.existing);
        EXPECT_EQ(ReadFile(path), before);
        fs::remove(dir + "filler");

        ASSERT_EQ(RunProgram({SIZEWALK_BINARY, c.style, dir}).exit_status, 0);
        const std::string after = ReadFile(path);
        if (c.style != "2") {
            ASSERT_EQ(after.substr(0, before.size()), before);
        }
        const std::string added = c.style == "2" ? after : after.substr(before.size());
        const std::vector<std::string> lines = CrLfLines(added);
        if (c.style == "3") {
            ASSERT_EQ(lines.size(), 30u);
            EXPECT_EQ(CsvFields(lines[0])[1], "27670116110564327421");
            continue;
        }
        // A header where the file was new, then a whole report.
        const std::size_t head = c.existing && c.style == "1" ? 0 : 3;
        ASSERT_EQ(lines.size(), head + 37);
        EXPECT_EQ(lines[head].rfind("Directory Size Track (bytes) for '", 0), 0u);
        EXPECT_EQ(lines[head + 2], "27,670,116,110,564,327,421");
        EXPECT_EQ(lines[head + 34], "TOTAL: 27,670,116,110,564,327,421 bytes in 30 subdirectories");
    }
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        files += entry.is_regular_file() ? 1 : 0;
    }
    EXPECT_EQ(files, 3u) << "a temporary file was left behind";
}

// A locale whose formats have no single separator (ja_JP: 2026年12月07日,
// 00時23分30秒), generated for the test, still gives dd/MM/yyyy and hh:mm:ss.
TEST(EndToEnd, AGeneratedLocale) {
    TempDir locales;
    const Result made =
        RunProgram({"localedef", "-i", "ja_JP", "-f", "UTF-8", locales.path() + "ja_JP.UTF-8"});
    if (made.exit_status != 0) {
        GTEST_SKIP() << "localedef: " << made.output;
    }
    TempDir tmp;
    fs::create_directory(tmp.fs() / "a");
    const std::vector<std::string> japanese = {"LOCPATH=" + locales.path(), "LC_ALL=ja_JP.UTF-8"};
    ASSERT_EQ(RunProgram({SIZEWALK_BINARY, "3", tmp.path()}, japanese).exit_status, 0);
    ASSERT_EQ(RunProgram({SIZEWALK_BINARY, "1", tmp.path()}, japanese).exit_status, 0);
    EXPECT_TRUE(std::regex_match(ReadFile(tmp.fs() / "Sizewalk.csv"),
                                 std::regex("[0-9]{2}/[0-9]{2}/[0-9]{4},0,a\r\n")));
    EXPECT_TRUE(
        std::regex_search(ReadFile(tmp.fs() / "Sizewalk.txt"),
                          std::regex(" at [0-9]+-[0-9]{2}-[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}\r")));
}

// SIGTERM while the run waits for the file (here: for a lease that is not
// given up) ends it at once with 128 + 15, the file untouched.
TEST(EndToEnd, ASignalEndsTheWaitForTheFile) {
    TempDir tmp;
    fs::create_directory(tmp.fs() / "a");
    const std::string path = tmp.path() + "Sizewalk.csv";
    std::ofstream(path) << "old\r\n";
    testing::LeaseHolder holder(path, false);
    if (!holder.held()) {
        GTEST_SKIP() << "no lease on this file system";
    }
    const Result run = RunProgram({SIZEWALK_BINARY, "3", tmp.path()}, {}, [&](pid_t pid) {
        EXPECT_TRUE(testing::SomeoneWaitsFor(path));
        kill(pid, SIGTERM);
    });
    EXPECT_EQ(run.exit_status, 128 + SIGTERM);
    EXPECT_EQ(run.output, "sizewalk: User interrupt occurred (signal 15) (Message B18)\n");
    EXPECT_EQ(ReadFile(path), "old\r\n");
    // Still being broken: the run did not wait until the kernel broke it.
    EXPECT_TRUE(testing::SomeoneWaitsFor(path));
}

// With a display, a message also goes to a box (the window program), unless
// SIZEWALK_MESSAGES=stderr; either way standard error holds only the run's
// own line, nothing the window program's toolkit says.
TEST(EndToEnd, MessageBoxesAndStandardError) {
    TempDir bin;
    fs::copy_file(SIZEWALK_BINARY, bin.fs() / "sizewalk");
    fs::copy_file(SIZEWALK_FAKE_WINDOW, bin.fs() / "sizewalk-window");
    TempDir tmp;
    const std::string record = tmp.path() + "record";
    for (const bool stderr_only : {false, true}) {
        std::vector<std::string> environment = {"DISPLAY=:99", "SIZEWALK_TEST_RECORD=" + record};
        if (stderr_only) {
            environment.push_back("SIZEWALK_MESSAGES=stderr");
        }
        const Result run =
            RunProgram({bin.path() + "sizewalk", "2", tmp.path() + "missing/"}, environment);
        EXPECT_EQ(run.exit_status, 1);
        EXPECT_EQ(run.output,
                  "sizewalk: Path not found: " + tmp.path() + "missing/ (Message B76)\n");
        EXPECT_EQ(ReadFile(record).find("--message-box|warning|"),
                  stderr_only ? std::string::npos : 0u);
        fs::remove(record);
    }
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
