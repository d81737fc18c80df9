// The size history's report: a small known history in every format, the
// forecast, and the command line.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <tuple>

#include "common/tracking_file/fields.h"
#include "fakes.h"
#include "history/history.h"
#include "platform/paths.h"
#include "startup/history_command.h"
#include "tracking/formats.h"

namespace sizewalk {
namespace {

using namespace history;
using testing::Lines;

const std::string kProblem =
    " // Scanning Problem: Permission denied: /srv/data/x. Directory size reset to zero.";
const std::string kRule(50, '-');
const std::string kCsvHeader =
    "name,latest_bytes,latest_date,measured,change_previous_run,change_7_days,change_30_days,"
    "growth_per_day_30_days,new_since,gone_since,growth_per_day_fit";

class FakeConsole final : public Console {
  public:
    bool terminal = false;
    bool utf8 = false;
    std::string out, err;
    bool OutputIsTerminal() override { return terminal; }
    bool OutputIsUtf8() override { return utf8; }
    Status Write(std::string_view bytes) override {
        out += bytes;
        return std::nullopt;
    }
    void WriteError(std::string_view line) override { err += std::string(line) + "\n"; }
};

// Six runs of two files, one of them exactly 7 days before the last. The
// guarded name grows steadily; beta fails in three runs (gaps, never drops);
// gone disappears; new appears. Both files have a run on 31 October: the CSV
// one, dated only, is the later.
class KnownHistory : public ::testing::Test {
  protected:
    void SetUp() override {
        // Each run's rows: the date, then size and name.
        const std::string beta_failed = "0,beta" + kProblem;
        const std::string odd = ",\"'=caf\xe9 \"\"x\"\"\"";
        for (const auto& [date, rows] :
             std::vector<std::pair<std::string, std::vector<std::string>>>{
                 {"01/10/2026", {"1000" + odd, "5000,beta", "300,gone"}},
                 {"27/10/2026", {"1500" + odd, beta_failed, "300,gone"}},
                 {"31/10/2026", {"2000" + odd, beta_failed, "10,new"}},
                 {"03/11/2026", {"3000" + odd, beta_failed, "40,new"}}}) {
            for (const std::string& row : rows) {
                files["/srv/data/Sizewalk.csv"] += date + "," + row + "\r\n";
            }
        }
        files["/srv/data/Sizewalk.txt"] =
            Lines({"Directory Size Track (bytes) for '/srv/data/' at 31-10-2026 08:00:00", "",
                   "1,900           =caf\xe9 \"x\"", " 0              beta" + kProblem, "",
                   "TOTAL: 1,900 bytes in 2 subdirectories", kRule, "",
                   "Directory Size Track (bytes) for '/srv/data/' at 2-11-2026 10:00:00", "",
                   "2,500           =caf\xe9 \"x\"", "6,000           beta", "20              new",
                   "", "TOTAL: 8,520 bytes in 3 subdirectories", kRule, ""});
        system.now = {2026, 11, 4, 18, 0, 0};
        system.free = 1000;
    }

    std::string Run(std::vector<std::string> options) {
        options.insert(options.begin(), {"--history", "/srv/data/"});
        console.out.clear();
        EXPECT_EQ(RunHistoryCommand(options, system, console), 0) << console.err;
        return console.out;
    }

    std::map<std::string, std::string> files;
    testing::MemoryHistory system{files};
    FakeConsole console;
};

// The report in every format; a terminal gets the table, anything else CSV.
TEST_F(KnownHistory, EveryFormat) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{},
         "/srv/data/ is on a file system with 1000 B free; at +201 B/day over the last 30 days "
         "it is full in 5 days (2026-11-09), mostly from =caf\\xe9 \"x\" (96%), new (4%).\n"
         "Size history of /srv/data/: 2026-10-01 to 2026-11-03, 6 runs, read from "
         "Sizewalk.csv and Sizewalk.txt\n"
         "   SIZE  AS OF       LAST RUN    7 DAYS   30 DAYS  PER DAY  FIT/DAY  TREND   NAME\n"
         "2.9 KiB  2026-11-03    +500 B  +1.5 KiB  +2.0 KiB    +61 B   +193 B  _-:=+#  "
         "=caf\\xe9 \"x\"\n"
         "   40 B  2026-11-03     +20 B     +40 B     +40 B     +1 B     +8 B     _-#  new  "
         "(new since 2026-10-31)\n"
         "  300 B  2026-10-27       0 B    -300 B    -300 B     -9 B           __      gone  "
         "(gone since 2026-10-31)\n"
         "5.9 KiB  2026-11-02                                                  _   #   beta  "
         "(not measured in the last run)\n"},
        {{"--sort=name", "--bytes"},  // CSV where the output is no terminal
         Lines({kCsvHeader,
                "\"'=caf\\xe9 \"\"x\"\"\",3000,2026-11-03,1,+500,+1500,+2000,+61,,,+193",
                "beta,6000,2026-11-02T10:00:00,0,,,,,,,",
                "gone,300,2026-10-27,0,0,-300,-300,-9,,2026-10-31T08:00:00,",
                "new,40,2026-11-03,1,+20,+40,+40,+1,2026-10-31,,+8"})},
        {
            {"--format=json", "--sort=size"},
            "{\"directory\": \"/srv/data/\", \"first_run\": \"2026-10-01\", \"last_run\": "
            "\"2026-11-03\", \"runs\": 6, \"files\": [{\"name\": \"Sizewalk.csv\", \"runs\": 4, "
            "\"skipped_lines\": 0}, {\"name\": \"Sizewalk.txt\", \"runs\": 2, \"skipped_lines\": "
            "0}],\n"
            "\"filesystem_free_bytes\": 1000, \"growth_per_day\": 201, \"full_in_days\": 5, "
            "\"full_on\": \"2026-11-09\", \"drivers\": [{\"name\": \"=caf\\udce9 \\\"x\\\"\", "
            "\"share\": 0.960}, {\"name\": \"new\", \"share\": 0.040}], \"left_out\": [], "
            "\"forecast\": \"/srv/data/ is on a file system with 1000 B free; at +201 B/day over "
            "the last 30 days it is full in 5 days (2026-11-09), mostly from =caf\\\\xe9 "
            "\\\"x\\\" (96%), new (4%).\",\n"
            "\"subdirectories\": [\n"
            "{\"name\": \"beta\", \"latest_bytes\": 6000, \"latest_date\": "
            "\"2026-11-02T10:00:00\", "
            "\"measured\": false, \"change_previous_run\": null, \"change_7_days\": null, "
            "\"change_30_days\": null, \"growth_per_day_30_days\": null, "
            "\"growth_per_day_fit\": null, \"new_since\": null, "
            "\"gone_since\": null, \"series\": [[\"2026-10-01\", 5000], [\"2026-10-27\", null], "
            "[\"2026-10-31T08:00:00\", null], [\"2026-10-31\", null], [\"2026-11-02T10:00:00\", "
            "6000], [\"2026-11-03\", null]]},\n"
            // The others as in CSV.
        },
        {{"--format=openmetrics", "--sort=name"},
         "# TYPE sizewalk_subdirectory_bytes gauge\n# UNIT sizewalk_subdirectory_bytes bytes\n"
         "sizewalk_subdirectory_bytes{D,subdirectory=\"=caf\\\\xe9 \\\"x\\\"\"} 3000\n"
         "sizewalk_subdirectory_bytes{D,subdirectory=\"beta\"} 6000\n"
         "sizewalk_subdirectory_bytes{D,subdirectory=\"new\"} 40\n"
         "# TYPE sizewalk_subdirectory_measured gauge\n"
         "sizewalk_subdirectory_measured{D,subdirectory=\"=caf\\\\xe9 \\\"x\\\"\"} 1\n"
         "sizewalk_subdirectory_measured{D,subdirectory=\"beta\"} 0\n"
         "sizewalk_subdirectory_measured{D,subdirectory=\"new\"} 1\n"
         "# TYPE sizewalk_last_run_timestamp_seconds gauge\n"
         "# UNIT sizewalk_last_run_timestamp_seconds seconds\n"
         "sizewalk_last_run_timestamp_seconds{D} 1793664000\n"
         "# TYPE sizewalk_filesystem_free_bytes gauge\n"
         "# UNIT sizewalk_filesystem_free_bytes bytes\nsizewalk_filesystem_free_bytes{D} 1000\n"
         "# TYPE sizewalk_growth_bytes_per_day gauge\n"
         "sizewalk_growth_bytes_per_day{D,subdirectory=\"=caf\\\\xe9 \\\"x\\\"\"} 193\n"
         "sizewalk_growth_bytes_per_day{D,subdirectory=\"new\"} 8\n"
         "sizewalk_growth_bytes_per_day{D} 201\n"
         "# TYPE sizewalk_full_in_seconds gauge\n# UNIT sizewalk_full_in_seconds seconds\n"
         "sizewalk_full_in_seconds{D} 429851\n"
         "# EOF\n"},
    };
    console.terminal = true;
    for (const auto& [options, expected] : cases) {
        // The help texts are prose, not read by an exporter; every sample is of
        // this directory.
        const std::string out =
            std::regex_replace(std::regex_replace(Run(options), std::regex("# HELP .*\n"), ""),
                               std::regex("\\{directory=\"/srv/data/\""), "{D");
        EXPECT_EQ(expected.ends_with(",\n") ? out.substr(0, expected.size()) : out, expected)
            << (options.empty() ? "" : options.back());
        console.terminal = false;
    }
}

// The page for the window: a chart line per grower in its colour, the
// table, nothing fetched from elsewhere.
// Under a locale with a decimal comma too; the chart goes forward in time
// (a CSV run, dated alone, after the text run of its day), a measurement
// between two gaps is a dot.
TEST_F(KnownHistory, HtmlPageForTheWindow) {
    const bool german = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    const auto path = WriteHistoryPage("/srv/data/", system);
    std::setlocale(LC_ALL, "C");
    ASSERT_TRUE(path.ok() && path.value());
    const std::string& page = system.written.at(*path.value());
    EXPECT_TRUE(german || kPathSeparator == '\\');
    EXPECT_NE(page.find("viewBox=\"0 0 960 454.0\""), std::string::npos);
    EXPECT_NE(page.find(" h0\""), std::string::npos);
    for (std::size_t at = page.find("<path d=\""); at != std::string::npos;
         at = page.find("<path d=\"", at + 1)) {
        std::istringstream path_data(page.substr(at + 9, page.find('"', at + 9) - at - 9));
        double last = 0;
        for (std::string move; path_data >> move && move != "h0";) {
            const double px = std::stod(move.substr(1));
            EXPECT_TRUE(move[0] == 'M' || px >= last) << page.substr(at, 200);
            last = px;
            path_data >> move;  // y
        }
    }
    for (const char* part :
         {"<title>Size history of /srv/data/</title>", "<svg", "stroke=\"#1f77b4\"",
          "stroke=\"#d62728\"", ">2026-10-01<", "KiB</text>", ">=caf\\xe9 &quot;x&quot;</text>",
          "background: #1f77b4\"></span>=caf\\xe9 &quot;x&quot;</td><td class=\"n\">2.9 KiB",
          "<td class=\"note\">gone since 2026-10-31</td>", ">full on 2026-11-09</text>",
          "<p class=\"forecast\">/srv/data/ is on a file system with 1000 B free; at +201"}) {
        EXPECT_NE(page.find(part), std::string::npos) << part;
    }
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_EQ(page.find("http:", page.find("<svg") + 40), std::string::npos);
}

// Names that look alike stay apart: a backslash and what it escapes, a
// Latin-1 byte and its escape, a guarded name and one with an apostrophe.
// JSON carries them exactly, the CSV report reads back to them (and
// OpenMetrics labels are the shown names of the CSV report).
TEST_F(KnownHistory, LookalikeNamesStayApart) {
    const std::set<std::string> names = {"a\\tb",  "a\tb",  "caf\\xe9", "caf\xe9",
                                         "=a,b\"", "'=a,b", "\u202Ea",  "<script>"};
    std::string csv;
    for (const std::string& name : names) {
        csv += "05/10/2003,1," + CsvField(CsvName(name, {})) + "\r\n";
    }
    files = {{"/srv/data/Sizewalk.csv", csv}};
    const std::string json = Run({"--format=json", "--sort=name"});
    for (const char* name : {R"("a\\tb")", R"("a\tb")", R"("caf\\xe9")", R"("caf\udce9")",
                             R"("=a,b\"")", R"("'=a,b")", R"("\u202ea")"}) {
        EXPECT_NE(json.find(std::string("{\"name\": ") + name + ","), std::string::npos) << name;
    }
    std::set<std::string> read;
    std::istringstream rows(Run({"--format=csv"}));
    std::string field;
    std::getline(rows, field);  // the header
    for (std::string row; std::getline(rows, row);) {
        row.erase(row.find(",1,2003-10-05,1,"));  // the fields after the name
        EXPECT_TRUE(row[0] != '"' || UnquoteField(row, field) == QuotedField::kClosed) << row;
        read.insert(UnescapeText(row[0] == '"' ? field : row));
    }
    EXPECT_EQ(read, names);
    const std::string page = Run({"--format=html"});
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_NE(page.find(">&lt;script&gt;</td>"), std::string::npos);
}

// Changes of up to 2^128 - 1 bytes either way, and their growth per day,
// exact in every format.
TEST_F(KnownHistory, ChangesToTheLargestSize) {
    const std::string largest = "340282366920938463463374607431768211455";
    const std::string per_day = "11342745564031282115445820247725607049";  // rounded up
    files = {{"/srv/data/Sizewalk.csv",
              Lines({"01/10/2026,0,grows", "01/10/2026," + largest + ",shrinks",
                     "31/10/2026," + largest + ",grows", "31/10/2026,0,shrinks"})}};
    EXPECT_EQ(Run({"--format=csv"}),
              Lines({kCsvHeader,
                     "grows," + largest + ",2026-10-31,1,+" + largest + ",+" + largest + ",+" +
                         largest + ",+" + per_day + ",,,",
                     "shrinks,0,2026-10-31,1,-" + largest + ",-" + largest + ",-" + largest + ",-" +
                         per_day + ",,,"}));
    EXPECT_EQ(Run({"--format=html"}).find("e+"), std::string::npos);  // axis labels in YiB
    EXPECT_NE(
        Run({"--format=json"})
            .find("\"change_30_days\": " + largest + ", \"growth_per_day_30_days\": " + per_day),
        std::string::npos);
}

// The forecast from daily runs over 30 days up to `last` days before now
// (2026-12-01), sizes in GiB: the first lines of the table after "/srv/data/
// is on a file system ", then each
// subdirectory's change per day between the ends and fitted. One odd night
// at the window's start bends the first, hardly the second.
TEST_F(KnownHistory, ForecastWhenItIsFull) {
    struct Grower {
        std::string name;
        double start, step;  // GiB, GiB a day
        std::uint64_t device = 0;
        double odd = 0;  // GiB more on the first night
        int gone = 0;    // runs at the end without it
    };
    struct Case {
        std::vector<Grower> growers;
        std::optional<ByteCount> free = 412ull << 30;
        int last = 0, runs = 31;
        bool projected = false;  // the page's total runs on to the day it is full
        std::string expected;
    };
    const Case cases[] = {
        {.growers = {{"backup", 300, 6, 0, -60},
                     {"home", 50, 2},
                     {"media", 90, -0.5},
                     {"projects", 9, 1},
                     {"tmp", 1, 0.1}},
         .expected = "with 412.0 GiB free; at +9.0 GiB/day over the last 30 days it is full in 46 "
                     "days (2027-01-16), mostly from backup (67%), home (21%), projects (11%).\n"
                     "backup +8589934592 +6832115316\nhome +2147483648 +2147483648\n"
                     "media -536870912 -536870912\nprojects +1073741824 +1073741824\n"
                     "tmp +107374182 +107374182\n"},
        {.growers = {{"home", 50, -0.001}},
         .last = 7,
         .expected = "with 412.0 GiB free; at -1.0 MiB/day over the last 30 days it is not "
                     "filling.\nhome -1073742 -1073742\n"},
        {.growers = {{"home", 50, 1}},
         .last = 8,
         .expected = "with 412.0 GiB free; no forecast: the last run (2026-11-23) is more than 7 "
                     "days old.\nhome +1073741824 +1073741824\n"},
        {.growers = {{"home", 50, 1}, {"media", 9, 5, 1}, {"old", 5, 1, 0, 0, 2}},
         .free = 4ull << 30,
         .projected = true,
         .expected = "with 4.0 GiB free; at +1.0 GiB/day over the last 30 days it is full in 4 "
                     "days (2026-12-05), mostly from home (100%).\n"
                     "Left out of the forecast, on other file systems: media.\n"
                     "home +1073741824 +1073741824\nmedia +5368709120 +5368709120\n"
                     "old -178956971 \n"},
        {.growers = {{"home", 50, 0}},
         .expected = "with 412.0 GiB free; at 0 B/day over the last 30 days it is not "
                     "filling.\nhome 0 0\n"},
        {.growers = {{"home", 50, 1}},
         .free = std::nullopt,
         .expected = "that reports no free space (a pseudo or network file system): no "
                     "forecast.\nhome +1073741824 +1073741824\n"},
        {.growers = {{"home", 50, 1}},
         .runs = 2,
         .expected = "with 412.0 GiB free; no forecast: no subdirectory was measured 3 times in "
                     "the last 30 days.\nhome  \n"},
        {.growers = {{"huge", std::ldexp(1.0, 70), 1000 / std::ldexp(1.0, 30)}},
         .free = 1000000,
         .expected = "with 1000000 bytes free; at +1000 bytes/day over the last 30 days it is full "
                     "in 1000 days (2029-08-27), mostly from huge (100%).\nhuge +1000 +1000\n"},
    };
    for (const Case& c : cases) {
        std::string csv;
        for (int run = 0; run < c.runs; ++run) {
            int year = 0, month = 0, day = 0;
            CivilFromDays(DaysFromCivil(2026, 12, 1) - c.last - c.runs + 1 + run, year, month, day);
            for (const Grower& g : c.growers) {
                if (run >= c.runs - g.gone) {
                    continue;
                }
                const auto delta = static_cast<std::int64_t>(
                    std::ldexp(g.step * run + (run == 0 ? g.odd : 0), 30));
                csv += std::to_string(day) + "/" + std::to_string(month) + "/" +
                       std::to_string(year) + "," +
                       Decimal(static_cast<ByteCount>(std::ldexp(g.start, 30)) +
                               static_cast<ByteCount>(delta)) +
                       "," + g.name + "\r\n";
                system.devices["/srv/data/" + g.name] = g.device;
            }
        }
        files = {{"/srv/data/Sizewalk.csv", csv}};
        system.now = {2026, 12, 1, 12, 0, 0};
        system.free = c.free;
        const std::string table =
            Run({"--format=table", c.growers[0].name == "huge" ? "--bytes" : "--sort=name"});
        const std::string csv_report = Run({"--format=csv", "--sort=name"});
        EXPECT_EQ(
            table.substr(31, table.find("Size history") - 31) +
                std::regex_replace(csv_report.substr(csv_report.find('\n') + 1),
                                   std::regex("([^,]*),(?:[^,]*,){6}([^,]*),[^,]*,[^,]*,(.*)\r"),
                                   "$1 $2 $3"),
            c.expected);
        EXPECT_EQ(Run({"--format=html"}).find("stroke-dasharray=\"8 6\"") != std::string::npos,
                  c.projected)
            << c.expected;
    }
}

struct CommandCase {
    std::vector<std::string> arguments;
    int status;
    std::string error;  // the start of standard error
    std::string csv = "05/10/2003,1,a\r\n";
};

// Of the files there, only the tracking files count; a file that cannot be
// read (a link, one a run holds, someone else's) is named, and the rest
// reported.
TEST(HistoryCommand, StatusesAndMessages) {
    const std::string dir = "sizewalk: /srv/My Data/";
    const std::string not_read =
        dir + "Sizewalk.txt: a symbolic link, not read\n" + dir +
        "Sizewalk_20031001.txt: being written by a run for more than 10 seconds, not read\n" + dir +
        "Sizewalk_20031002.txt: owned by another user (not by you, the directory's owner or "
        "root), not read\n";
    const CommandCase cases[] = {
        {{"--history"}, 2, "sizewalk: the directory is missing\nusage: sizewalk --history DIR/"},
        {{"--history", "/srv/data/", "--format=xml"}, 2, "sizewalk: unknown format: --format=xml"},
        {{"--history", "--sort=date", "/srv/data/"}, 2, "sizewalk: unknown option: --sort=date"},
        {{"--history=/srv/My Data/"},
         2,
         "sizewalk: the directory follows --history after a blank: sizewalk --history /srv/My "
         "Data/\n"},
        {{"--history", "/srv/none/"}, 1, "sizewalk: Path not found: /srv/none/\n"},
        {{"--history", "/srv/My", "Data", "--bytes"}, 0, ""},          // Windows adds a backslash
        {{"--history /srv/My \"Data/\" --format=json"}, 0, not_read},  // Windows' one command text
        {{"--history", "--", "--odd/"}, 1, "sizewalk: No size history in --odd/ yet"},
        {{"--history", "/srv/My Data/", "--output=/srv/m.prom"}, 0, not_read},
        {{"--history", "/srv/My Data/"},
         1,
         dir + "Sizewalk.csv: 1 line could not be read and was skipped (line 1)\n" + not_read +
             "sizewalk: No size history in /srv/My Data/ yet: no Sizewalk.csv, Sizewalk.txt or "
             "Sizewalk_yyyyMMdd.txt with a run in it could be read.\n",
         "not a row\r\n"},
    };
    for (const CommandCase& c : cases) {
        std::map<std::string, std::string> files = {{"/srv/My Data/Sizewalk.csv", c.csv},
                                                    {"/srv/My Data/notes.txt", "05/10/2003,1,a"}};
        testing::MemoryHistory system{files};
        for (const char* name :
             {"Sizewalk.txt", "Sizewalk_20031001.txt", "Sizewalk_20031002.txt"}) {
            files[std::string("/srv/My Data/") + name] = "";
        }
        system.kinds["Sizewalk.txt"] = FileKind::kLink;
        system.busy.insert("Sizewalk_20031001.txt");
        system.foreign.insert("Sizewalk_20031002.txt");
        if (c.arguments.back() == "/srv/none/") {
            system.failure = MakeError(errnum::kPathNotFound, "/srv/none/");
        }
        FakeConsole console;
        EXPECT_TRUE(IsHistoryCommand(c.arguments)) << c.arguments[0];
        EXPECT_EQ(RunHistoryCommand(c.arguments, system, console), c.status) << c.arguments[0];
        EXPECT_TRUE(console.err.starts_with(c.error)) << console.err;
        const bool to_file = c.arguments.back().starts_with("--output=");
        EXPECT_EQ(console.out.empty(), c.status != 0 || to_file);
        EXPECT_EQ(system.written.contains("/srv/m.prom"), to_file);
    }
    for (const std::vector<std::string>& other :
         {std::vector<std::string>{"3", "--history"}, {"--history/"}, {"--historyx", "/srv/"}}) {
        EXPECT_FALSE(IsHistoryCommand(other)) << other[0];
    }
}

}  // namespace
}  // namespace sizewalk
