// The size history: the tracking files as they really are, read back; the
// figures of a small known history in every format; the command line.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include "common/tracking_file/fields.h"
#include "common/tracking_file/names.h"
#include "fakes.h"
#include "history/figures.h"
#include "history/history.h"
#include "history/reader.h"
#include "history/text.h"
#include "startup/history_command.h"
#include "tracking/formats.h"

namespace sizewalk {
namespace {

using namespace history;
using testing::Lines;

// Each run on a line: its time, then name=bytes (? for a failed
// measurement); then the skipped lines.
std::string Dump(const History& h) {
    std::vector<std::string> runs(h.runs.size());
    for (std::size_t r = 0; r < h.runs.size(); ++r) {
        runs[r] = IsoWhen(h.runs[r].when) + (h.runs[r].complete ? "" : " (cut off)") + ":";
    }
    for (const Series& series : h.series) {
        for (std::size_t p = 0; p < series.runs.size(); ++p) {
            const auto value = h.ValueOf(series.values[p]);
            runs[series.runs[p]] +=
                " " + Shown(series.name) + "=" + (value ? Decimal(*value) : "?");
        }
    }
    std::string text;
    for (const std::string& run : runs) {
        text += run + "\n";
    }
    for (const FileSummary& file : h.files) {
        if (file.skipped_lines > 0) {
            text += "skipped " + std::to_string(file.skipped_lines) + " from line " +
                    std::to_string(file.first_skipped_line) + "\n";
        }
    }
    return text;
}

History Parse(Layout layout, std::string_view bytes) {
    HistoryBuilder builder;
    builder.BeginFile("file");
    ParseTrackingBytes(bytes, layout, builder);
    return builder.Finish();
}

const std::string kProblem =
    " // Scanning Problem: Permission denied: /srv/data/x. Directory size reset to zero.";
const std::string kRule(50, '-');

// What, the layout, the bytes, the runs Dump() shows.
const std::tuple<const char*, Layout, std::string, std::string> kParseCases[] = {
    {"the original's unquoted commas; locales mixed; a repeated name starts a run", Layout::kCsv,
     "05/10/2003,5,a,b\r\n"
     "05.10.2003,6,\"c\r\n"
     "05.10.2003,7,a,b\r\n"
     "05.10.2003,9,d \"x\" y\r\n"
     "07, 12, 2026,8,c\r\n"
     "07\xe5\xb9\xb4"
     "12\xe5\xb9\xb4"
     "2026,18446744073709551616000,c\r\n",
     "2003-10-05: a,b=5 \"c=6\n2003-10-05: a,b=7 d \"x\" y=9\n2026-12-07: c=8\n"
     "2026-12-07: c=18446744073709551616000\n"},
    {"the formula guard, a Latin-1 name, LF-only lines, a torn last line", Layout::kCsv,
     "05/10/2003,2,'=kept\n"
     "05/10/2003,3,caf\xe9\n"
     "05/10/2003,4,\"'abc\"\n"
     "06/10/2003,4,tor",
     "2003-10-05: '=kept=2 caf\\xe9=3 'abc=4\nskipped 1 from line 4\n"},
    {"lines that cannot be read: glued rows, bad dates and sizes, no name", Layout::kCsv,
     "05/10/2003,1,a\r\n"
     "07/107/12/2026,0,a\r\n"
     "31/02/2003,1,a\r\n"
     "05/10/2003,x1,a\r\n"
     "05/10/2003,1,\r\n"
     "05/10/2003,0, // Scanning Problem: no name.\r\n"
     "05/10/2003,340282366920938463463374607431768211456,a\r\n"
     "\r\n"
     "05/10/2003,2,b\r\n",
     "2003-10-05: a=1 b=2\nskipped 7 from line 2\n"},
    {"the original in code page 1252 with LF only: a block cut off, names with blanks, escapes",
     Layout::kText,
     "Directory Size Track (bytes) for 'C:\\Data\\' at 5-10-2003 9:05:01\n\n"
     "1\xa0"
     "234\xa0"
     "567       caf\xe9\n"
     "12                two blanks\n"
     "garbage\n"
     "340,282,366,920,938,463,463,374,607,431,768,211,456 x\n"
     "Directory Size Track (bytes) for 'C:\\Data\\' at 6-10-2003 10:30:06\n\n"
     "5               caf\xe9\n"
     "6               an earlier version's \\q\\x41\n\n"
     "TOTAL: 5 bytes in 1 subdirectories\n" +
         kRule + "\n\nnot a report\n",
     "2003-10-05T09:05:01 (cut off): caf\\xe9=1234567   two blanks=12\n"
     "2003-10-06T10:30:06: caf\\xe9=5 an earlier version's \\qA=6\nskipped 3 from line 5\n"},
    {"a read block ending inside a quoted name, a line longer than a block", Layout::kCsv,
     std::string((1 << 20) - 20, '\n') + "05/10/2003,7,\"a\r\nb\"\r\n" + std::string(3 << 20, 'x') +
         "\r\n06/10/2003,1,c\r\n",
     "2003-10-05: a\\r\\nb=7\n2003-10-06: c=1\nskipped 1048557 from line 1\n"},
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

// The 7- and 30-day changes compare with the last run on or before that day.
TEST(HistoryFigures, ChangesOverSevenAndThirtyDays) {
    const History h =
        Parse(Layout::kCsv, Lines({"03/10/2026,1,a", "04/10/2026,2,a", "05/10/2026,4,a",
                                   "27/10/2026,8,a", "28/10/2026,16,a", "03/11/2026,32,a"}));
    const Figures f = ComputeFigures(h, SortKey::kName).at(0);
    EXPECT_EQ(f.change_7_days, ByteChange{32 - 8});
    EXPECT_EQ(f.change_30_days, ByteChange{32 - 2});
}

// Files in memory, in one directory.
class FakeHistorySystem final : public HistorySystem {
  public:
    std::string dir = "/srv/data/";
    std::map<std::string, std::string> files, written;

    // The directory ends with either separator (Windows adds its own).
    Outcome<std::vector<std::string>> ListFiles(const std::string& path) override {
        if (path.substr(0, path.size() - 1) != dir.substr(0, dir.size() - 1)) {
            return MakeError(errnum::kPathNotFound, path);
        }
        std::vector<std::string> names;
        for (const auto& [name, content] : files) {
            names.push_back(name);
        }
        return names;
    }
    Outcome<std::unique_ptr<InputFile>> OpenForReading(const std::string& path) override {
        return std::unique_ptr<InputFile>(
            std::make_unique<MemoryInput>(files.at(path.substr(dir.size()))));
    }
    Outcome<std::string> WriteTemporaryFile(std::string_view suffix,
                                            std::string_view content) override {
        return written.insert_or_assign("/tmp/page" + std::string(suffix), content).first->first;
    }
    std::int64_t EpochSeconds(const LocalTime& t) override {
        return std::int64_t{DaysFromCivil(t.year, t.month, t.day)} * 86400 + t.hour * 3600 +
               t.minute * 60 + t.second;
    }

  private:
    class MemoryInput final : public InputFile {
      public:
        explicit MemoryInput(std::string_view bytes) : bytes_(bytes) {}
        Outcome<std::size_t> Read(char* buffer, std::size_t size) override {
            const std::size_t n = bytes_.copy(buffer, size);
            bytes_.remove_prefix(n);
            return n;
        }

      private:
        std::string_view bytes_;
    };
};

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
                system.files["Sizewalk.csv"] += date + "," + row + "\r\n";
            }
        }
        system.files["Sizewalk.txt"] = Lines({
            "Directory Size Track (bytes) for '/srv/data/' at 31-10-2026 08:00:00",
            "",
            "1,900           =caf\xe9 \"x\"",
            " 0              beta" + kProblem,
            "",
            "TOTAL: 1,900 bytes in 2 subdirectories",
            kRule,
            "",
            "Directory Size Track (bytes) for '/srv/data/' at 2-11-2026 10:00:00",
            "",
            "2,500           =caf\xe9 \"x\"",
            "6,000           beta",
            "20              new",
            "",
            "TOTAL: 8,520 bytes in 3 subdirectories",
            kRule,
            "",
        });
    }

    std::string Run(std::vector<std::string> options) {
        options.insert(options.begin(), {"--history", "/srv/data/"});
        console.out.clear();
        EXPECT_EQ(RunHistoryCommand(options, system, console), 0) << console.err;
        return console.out;
    }

    FakeHistorySystem system;
    FakeConsole console;
};

// The report in every format; a terminal gets the table, anything else CSV.
TEST_F(KnownHistory, EveryFormat) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{},
         "Size history of /srv/data/: 2026-10-01 to 2026-11-03, 6 runs, read from "
         "Sizewalk.csv and Sizewalk.txt\n"
         "   SIZE  AS OF       LAST RUN    7 DAYS   30 DAYS  PER DAY  TREND   NAME\n"
         "2.9 KiB  2026-11-03    +500 B  +1.5 KiB  +2.0 KiB    +61 B  _-:=+#  =caf\\xe9 \"x\"\n"
         "5.9 KiB  2026-11-02       0 B   +1000 B   +1000 B    +30 B  _   #   beta  "
         "(not measured in the last run)\n"
         "   40 B  2026-11-03     +20 B     +40 B     +40 B     +1 B     _-#  new  "
         "(new since 2026-10-31)\n"
         "  300 B  2026-10-27       0 B    -300 B    -300 B     -9 B  __      gone  "
         "(gone since 2026-10-31)\n"},
        {{"--sort=name", "--bytes"},  // CSV where the output is no terminal
         Lines({"name,latest_bytes,latest_date,measured,change_previous_run,change_7_days,"
                "change_30_days,growth_per_day_30_days,new_since,gone_since",
                "\"'=caf\\xe9 \"\"x\"\"\",3000,2026-11-03,1,+500,+1500,+2000,+61,,",
                "beta,6000,2026-11-02T10:00:00,0,0,+1000,+1000,+30,,",
                "gone,300,2026-10-27,0,0,-300,-300,-9,,2026-10-31T08:00:00",
                "new,40,2026-11-03,1,+20,+40,+40,+1,2026-10-31,"})},
        {{"--format=json", "--sort=size"},
         "{\"directory\": \"/srv/data/\", \"first_run\": \"2026-10-01\", \"last_run\": "
         "\"2026-11-03\", \"runs\": 6, \"files\": [{\"name\": \"Sizewalk.csv\", \"runs\": 4, "
         "\"skipped_lines\": 0}, {\"name\": \"Sizewalk.txt\", \"runs\": 2, \"skipped_lines\": "
         "0}],\n"
         "\"subdirectories\": [\n"
         "{\"name\": \"beta\", \"latest_bytes\": 6000, \"latest_date\": \"2026-11-02T10:00:00\", "
         "\"measured\": false, \"change_previous_run\": 0, \"change_7_days\": 1000, "
         "\"change_30_days\": 1000, \"growth_per_day_30_days\": 30, \"new_since\": null, "
         "\"gone_since\": null, \"series\": [[\"2026-10-01\", 5000], [\"2026-10-27\", null], "
         "[\"2026-10-31T08:00:00\", null], [\"2026-10-31\", null], [\"2026-11-02T10:00:00\", "
         "6000], [\"2026-11-03\", null]]},\n"
         "{\"name\": \"=caf\\udce9 \\\"x\\\"\", \"latest_bytes\": 3000, \"latest_date\": "
         "\"2026-11-03\", "
         "\"measured\": true, \"change_previous_run\": 500, \"change_7_days\": 1500, "
         "\"change_30_days\": 2000, \"growth_per_day_30_days\": 61, \"new_since\": null, "
         "\"gone_since\": null, \"series\": [[\"2026-10-01\", 1000], [\"2026-10-27\", 1500], "
         "[\"2026-10-31T08:00:00\", 1900], [\"2026-10-31\", 2000], [\"2026-11-02T10:00:00\", "
         "2500], [\"2026-11-03\", 3000]]},\n"
         "{\"name\": \"gone\", \"latest_bytes\": 300, \"latest_date\": \"2026-10-27\", "
         "\"measured\": false, \"change_previous_run\": 0, \"change_7_days\": -300, "
         "\"change_30_days\": -300, \"growth_per_day_30_days\": -9, \"new_since\": null, "
         "\"gone_since\": \"2026-10-31T08:00:00\", \"series\": [[\"2026-10-01\", 300], "
         "[\"2026-10-27\", 300]]},\n"
         "{\"name\": \"new\", \"latest_bytes\": 40, \"latest_date\": \"2026-11-03\", "
         "\"measured\": true, \"change_previous_run\": 20, \"change_7_days\": 40, "
         "\"change_30_days\": 40, \"growth_per_day_30_days\": 1, \"new_since\": \"2026-10-31\", "
         "\"gone_since\": null, \"series\": [[\"2026-10-31\", 10], [\"2026-11-02T10:00:00\", 20], "
         "[\"2026-11-03\", 40]]}\n"
         "]}\n"},
        {{"--format=openmetrics", "--sort=name"},
         "# TYPE sizewalk_subdirectory_bytes gauge\n"
         "# UNIT sizewalk_subdirectory_bytes bytes\n"
         "# HELP sizewalk_subdirectory_bytes Size of the subdirectory's whole tree at its "
         "last measurement.\n"
         "sizewalk_subdirectory_bytes{directory=\"/srv/data/\",subdirectory=\"=caf\\\\xe9 "
         "\\\"x\\\"\"} 3000\n"
         "sizewalk_subdirectory_bytes{directory=\"/srv/data/\",subdirectory=\"beta\"} 6000\n"
         "sizewalk_subdirectory_bytes{directory=\"/srv/data/\",subdirectory=\"new\"} 40\n"
         "# TYPE sizewalk_subdirectory_measured gauge\n"
         "# HELP sizewalk_subdirectory_measured 1 when the last run measured the "
         "subdirectory, 0 after a scanning problem.\n"
         "sizewalk_subdirectory_measured{directory=\"/srv/data/\",subdirectory=\"=caf\\\\xe9 "
         "\\\"x\\\"\"} 1\n"
         "sizewalk_subdirectory_measured{directory=\"/srv/data/\",subdirectory=\"beta\"} 0\n"
         "sizewalk_subdirectory_measured{directory=\"/srv/data/\",subdirectory=\"new\"} 1\n"
         "# TYPE sizewalk_last_run_timestamp_seconds gauge\n"
         "# UNIT sizewalk_last_run_timestamp_seconds seconds\n"
         "# HELP sizewalk_last_run_timestamp_seconds When the last run recorded the sizes.\n"
         "sizewalk_last_run_timestamp_seconds{directory=\"/srv/data/\"} 1793664000\n"
         "# EOF\n"},
    };
    console.terminal = true;
    for (const auto& [options, expected] : cases) {
        EXPECT_EQ(Run(options), expected) << (options.empty() ? "" : options.back());
        console.terminal = false;
    }
}

// The page for the window: a chart line per grower in its colour, the
// table, nothing fetched from elsewhere.
TEST_F(KnownHistory, HtmlPageForTheWindow) {
    const auto path = WriteHistoryPage("/srv/data/", system);
    ASSERT_TRUE(path.ok() && path.value());
    const std::string& page = system.written.at(*path.value());
    EXPECT_TRUE(page.starts_with("<!DOCTYPE html>"));
    for (const char* part :
         {"<title>Size history of /srv/data/</title>", "<svg", "stroke=\"#1f77b4\"",
          "stroke=\"#d62728\"", ">2026-10-01<", "KiB</text>", ">=caf\\xe9 &quot;x&quot;</text>",
          "background: #1f77b4\"></span>=caf\\xe9 &quot;x&quot;</td><td class=\"n\">2.9 KiB",
          "<td class=\"note\">gone since 2026-10-31</td>"}) {
        EXPECT_NE(page.find(part), std::string::npos) << part;
    }
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_EQ(page.find("http:", page.find("<svg") + 40), std::string::npos);

    system.files.clear();
    const auto none = WriteHistoryPage("/srv/data/", system);
    ASSERT_TRUE(none.ok());
    EXPECT_FALSE(none.value());
    EXPECT_EQ(NoHistoryText("/srv/data/"),
              "No size history in /srv/data/ yet. Press Go to record the first one.");
}

// Names that look alike stay apart: a backslash and what it escapes, a
// Latin-1 byte and its escape, a guarded name and one with an apostrophe.
// JSON carries them exactly, the CSV report reads back to them (and
// OpenMetrics labels are the shown names of the CSV report).
TEST_F(KnownHistory, LookalikeNamesStayApart) {
    const std::set<std::string> names = {"a\\tb",  "a\tb",  "caf\\xe9", "caf\xe9",
                                         "=a,b\"", "'=a,b", "\u202Ea"};
    std::string csv;
    for (const std::string& name : names) {
        csv += "05/10/2003,1," + CsvField(CsvName(name, {})) + "\r\n";
    }
    system.files = {{"Sizewalk.csv", csv}};
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
}

// Changes of up to 2^128 - 1 bytes either way, and their growth per day,
// exact in every format.
TEST_F(KnownHistory, ChangesToTheLargestSize) {
    const std::string largest = "340282366920938463463374607431768211455";
    const std::string per_day = "11342745564031282115445820247725607049";  // rounded up
    system.files = {
        {"Sizewalk.csv", Lines({"01/10/2026,0,grows", "01/10/2026," + largest + ",shrinks",
                                "31/10/2026," + largest + ",grows", "31/10/2026,0,shrinks"})}};
    EXPECT_EQ(Run({"--format=csv"}),
              Lines({"name,latest_bytes,latest_date,measured,change_previous_run,change_7_days,"
                     "change_30_days,growth_per_day_30_days,new_since,gone_since",
                     "grows," + largest + ",2026-10-31,1,+" + largest + ",+" + largest + ",+" +
                         largest + ",+" + per_day + ",,",
                     "shrinks,0,2026-10-31,1,-" + largest + ",-" + largest + ",-" + largest + ",-" +
                         per_day + ",,"}));
    EXPECT_NE(
        Run({"--format=json"})
            .find("\"change_30_days\": -" + largest + ", \"growth_per_day_30_days\": -" + per_day),
        std::string::npos);
}

struct CommandCase {
    std::vector<std::string> arguments;
    int status;
    std::string error;  // the start of standard error
    std::string csv = "05/10/2003,1,a\r\n";
};

// Of the files there, only the tracking files count.
TEST(HistoryCommand, StatusesAndMessages) {
    const CommandCase cases[] = {
        {{"--history"}, 2, "sizewalk: the directory is missing\nusage: sizewalk --history DIR/"},
        {{"--history", "/srv/data/", "--format=xml"}, 2, "sizewalk: unknown format: --format=xml"},
        {{"--history", "--sort=date", "/srv/data/"}, 2, "sizewalk: unknown option: --sort=date"},
        {{"--history", "/srv/none/"}, 1, "sizewalk: Path not found: /srv/none/\n"},
        {{"--history", "/srv/My", "Data", "--bytes"}, 0, ""},
        {{"--history /srv/My \"Data/\" --format=json"}, 0, ""},  // Windows' one command text
        {{"--history", "--", "--odd/"}, 1, "sizewalk: Path not found: --odd/\n"},
        {{"--history", "/srv/My Data/"},
         1,
         "sizewalk: /srv/My Data/Sizewalk.csv: 1 line could not be read and was skipped (line 1)\n"
         "sizewalk: No size history in /srv/My Data/ yet: no Sizewalk.csv, Sizewalk.txt or "
         "Sizewalk_yyyyMMdd.txt with a run in it.\n",
         "not a row\r\n"},
    };
    for (const CommandCase& c : cases) {
        FakeHistorySystem system;
        system.dir = "/srv/My Data/";
        system.files["Sizewalk.csv"] = c.csv;
        system.files["notes.txt"] = "05/10/2003,1,a\r\n";
        FakeConsole console;
        EXPECT_TRUE(IsHistoryCommand(c.arguments)) << c.arguments[0];
        EXPECT_EQ(RunHistoryCommand(c.arguments, system, console), c.status) << c.arguments[0];
        EXPECT_TRUE(console.err.starts_with(c.error)) << console.err;
        EXPECT_EQ(console.out.empty(), c.status != 0);
    }
    for (const std::vector<std::string>& other :
         {std::vector<std::string>{"3", "--history"}, {"--history/"}, {"--historyx", "/srv/"}}) {
        EXPECT_FALSE(IsHistoryCommand(other)) << other[0];
    }
}

}  // namespace
}  // namespace sizewalk
