#include "history/report.h"

#include <algorithm>
#include <utility>

#include "common/text.h"
#include "common/tracking_file/fields.h"
#include "common/tracking_file/layout.h"
#include "common/tracking_file/names.h"
#include "history/text.h"

namespace sizewalk::history {
namespace {

std::string Size(ByteCount value, bool exact) {
    return exact ? Decimal(value) : HumanSize(static_cast<double>(value));
}

std::string Change(const std::optional<ByteChange>& value, bool exact) {
    if (!value) {
        return "";
    }
    return exact ? SignedDecimal(*value) : HumanChange(value->ToDouble());
}

std::string PadLeft(std::string_view text, std::size_t width) {
    return std::string(width - std::min(width, CharacterCount(text)), ' ') + std::string(text);
}

std::string PadRight(std::string_view text, std::size_t width) {
    return std::string(text) + std::string(width - std::min(width, CharacterCount(text)), ' ');
}

// The last runs of the history as one character each: the size relative to
// the smallest and largest of them, a blank where it was not measured.
std::string Trend(const History& history, const Series& series, bool utf8) {
    static constexpr std::size_t kRuns = 16;
    static constexpr const char* kBlocks[] = {"▁", "▂", "▃", "▄", "▅", "▆", "▇", "█"};
    static constexpr std::string_view kAscii = "_.-:=+*#";
    const std::size_t runs = history.runs.size();
    const std::size_t first = runs > kRuns ? runs - kRuns : 0;
    std::vector<std::optional<ByteCount>> points(runs - first);
    auto at = std::lower_bound(series.runs.begin(), series.runs.end(), first);
    for (; at != series.runs.end(); ++at) {
        points[*at - first] = history.ValueOf(series.values[at - series.runs.begin()]);
    }
    std::optional<ByteCount> low;
    std::optional<ByteCount> high;
    for (const auto& point : points) {
        if (point) {
            low = std::min(low.value_or(*point), *point);
            high = std::max(high.value_or(*point), *point);
        }
    }
    std::string text;
    for (const auto& point : points) {
        if (!point) {
            text += ' ';
            continue;
        }
        std::size_t level = 0;
        if (*high > *low) {
            level = static_cast<std::size_t>(
                static_cast<double>(*point - *low) * 7.0 / static_cast<double>(*high - *low) + 0.5);
        }
        if (utf8) {
            text += kBlocks[level];
        } else {
            text += kAscii[level];
        }
    }
    return text;
}

// The table's columns: figures aligned right, words left, and the name last,
// unpadded, so that a long one does not widen every line.
struct Column {
    const char* heading;
    bool left;
};
constexpr Column kColumns[] = {{"SIZE", false},    {"AS OF", true},    {"LAST RUN", false},
                               {"7 DAYS", false},  {"30 DAYS", false}, {"PER DAY", false},
                               {"FIT/DAY", false}, {"TREND", true},    {"NAME", true}};

void WriteTable(const ReportData& data, Output& out) {
    out << ForecastLine(data.directory, data.history, data.forecast, data.options.exact_bytes)
        << "\n";
    if (const std::string left_out = LeftOutLine(data.history, data.forecast); !left_out.empty()) {
        out << left_out << "\n";
    }
    out << SummaryLine(data.directory, data.history) << "\n";
    std::vector<std::vector<std::string>> cells;
    cells.emplace_back();
    for (const Column& column : kColumns) {
        cells.back().emplace_back(column.heading);
    }
    std::vector<std::string> notes(1);
    for (const Figures& row : data.rows) {
        RowTexts t = TextsOf(data, row);
        cells.push_back({t.size, t.as_of, t.previous, t.week, t.month, t.per_day, t.fit,
                         Trend(data.history, data.history.series[row.series], data.options.utf8),
                         t.name});
        notes.push_back(t.note);
    }
    std::vector<std::size_t> widths(std::size(kColumns), 0);
    for (const auto& line : cells) {
        for (std::size_t c = 0; c < line.size(); ++c) {
            widths[c] = std::max(widths[c], CharacterCount(line[c]));
        }
    }
    for (std::size_t r = 0; r < cells.size(); ++r) {
        std::string line;
        for (std::size_t c = 0; c < cells[r].size(); ++c) {
            if (c > 0) {
                line += "  ";
            }
            if (c + 1 == cells[r].size()) {
                line += cells[r][c];
            } else if (kColumns[c].left) {
                line += PadRight(cells[r][c], widths[c]);
            } else {
                line += PadLeft(cells[r][c], widths[c]);
            }
        }
        if (!notes[r].empty()) {
            line += "  (" + notes[r] + ")";
        }
        out << line << "\n";
    }
}

std::string Optional(const std::optional<ByteChange>& value) {
    return value ? SignedDecimal(*value) : "";
}

std::string LatestDate(const History& history, const Figures& row) {
    return row.latest ? IsoWhen(history.runs[row.latest_run].when) : "";
}

std::string RunDate(const History& history, const std::optional<std::uint32_t>& run) {
    return run ? IsoWhen(history.runs[*run].when) : "";
}

void WriteCsv(const ReportData& data, Output& out) {
    const History& h = data.history;
    out << "name,latest_bytes,latest_date,measured,change_previous_run,change_7_days,"
           "change_30_days,growth_per_day_30_days,new_since,gone_since,growth_per_day_fit\r\n";
    for (const Figures& row : data.rows) {
        out << CsvField(Shown(h.series[row.series].name)) << ","
            << (row.latest ? Decimal(*row.latest) : "") << "," << LatestDate(h, row) << ","
            << (row.measured ? "1" : "0") << "," << Optional(row.change_previous) << ","
            << Optional(row.change_7_days) << "," << Optional(row.change_30_days) << ","
            << Optional(row.growth_per_day) << "," << RunDate(h, row.new_since) << ","
            << RunDate(h, row.gone_since) << "," << Optional(row.growth_fit) << "\r\n";
    }
}

// A JSON string of a name's bytes: UTF-8 exactly as it is, control
// characters as JSON escapes (TAB as \t, others as \u00XX or \uXXXX); each
// byte that is not part of UTF-8 as the lone surrogate \udcXX (U+DC80 plus
// the byte), which no UTF-8 name holds, as Python's "surrogateescape" reads it.
std::string JsonString(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    const auto escape = [](std::string& json, unsigned code) {
        json += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4) {
            json += kHex[(code >> shift) & 0xF];
        }
    };
    std::string json = "\"";
    for (std::size_t i = 0; i < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = Utf8Length(bytes, i);
        const std::string_view character = bytes.substr(i, length);
        i += std::max<std::size_t>(length, 1);
        if (length == 0) {
            escape(json, 0xDC00 + byte);
        } else if (byte == '"' || byte == '\\') {
            json += '\\';
            json += static_cast<char>(byte);
        } else if (byte == '\t') {
            json += "\\t";
        } else if (!IsControlCharacter(character)) {
            json += character;
        } else {
            // At most three bytes: C0, DEL, C1 and the bidirectional controls.
            unsigned code = length == 1 ? byte : byte & (length == 2 ? 0x1F : 0x0F);
            for (std::size_t k = 1; k < length; ++k) {
                code = (code << 6) | (static_cast<unsigned char>(character[k]) & 0x3F);
            }
            escape(json, code);
        }
    }
    return json + "\"";
}

std::string JsonNumber(const std::optional<ByteChange>& value) {
    if (!value) {
        return "null";
    }
    const std::string text = SignedDecimal(*value);
    return text[0] == '+' ? text.substr(1) : text;
}

std::string JsonDate(const History& history, const std::optional<std::uint32_t>& run) {
    return run ? JsonString(IsoWhen(history.runs[*run].when)) : "null";
}

// After the files' list: the free space, the total fitted growth, when it
// is full and who fills it, null where there is none.
void WriteJsonForecast(const ReportData& data, Output& out) {
    const History& h = data.history;
    const Forecast& f = data.forecast;
    const bool full = f.full_in_seconds.has_value();
    out << "],\n\"filesystem_free_bytes\": " << (f.free ? Decimal(*f.free) : "null")
        << ", \"growth_per_day\": " << JsonNumber(f.growth_per_day)
        << ", \"full_in_days\": " << (full ? std::to_string(f.full_in_days) : "null")
        << ", \"full_on\": " << (full ? JsonString(IsoDate(f.full_on)) : "null")
        << ", \"drivers\": " << (f.drivers.empty() ? "null" : "[");
    for (std::size_t i = 0; i < f.drivers.size(); ++i) {
        out << (i > 0 ? ", " : "")
            << "{\"name\": " << JsonString(h.series[f.drivers[i].series].name)
            << ", \"share\": " << Fixed(f.drivers[i].share, 3) << "}";
    }
    out << (f.drivers.empty() ? "" : "]") << ", \"left_out\": [";
    for (std::size_t i = 0; i < f.elsewhere.size(); ++i) {
        out << (i > 0 ? ", " : "") << JsonString(h.series[f.elsewhere[i]].name);
    }
    out << "], \"forecast\": "
        << JsonString(ForecastLine(data.directory, h, f, data.options.exact_bytes));
}

void WriteJson(const ReportData& data, Output& out) {
    const History& h = data.history;
    out << "{\"directory\": " << JsonString(data.directory)
        << ", \"first_run\": " << JsonString(IsoWhen(h.runs.front().when))
        << ", \"last_run\": " << JsonString(IsoWhen(h.runs.back().when))
        << ", \"runs\": " << std::to_string(h.runs.size()) << ", \"files\": [";
    const char* separator = "";
    for (const FileSummary& file : h.files) {
        if (!file.unreadable.empty()) {
            continue;
        }
        out << std::exchange(separator, ", ") << "{\"name\": " << JsonString(file.name)
            << ", \"runs\": " << std::to_string(file.runs)
            << ", \"skipped_lines\": " << std::to_string(file.skipped_lines) << "}";
    }
    WriteJsonForecast(data, out);
    out << ",\n\"subdirectories\": [";
    std::vector<std::string> dates;  // of each run, once: the series repeat them
    dates.reserve(h.runs.size());
    for (const Run& run : h.runs) {
        std::string point(1, '[');
        point += JsonString(IsoWhen(run.when));
        point += ", ";
        dates.push_back(std::move(point));
    }
    for (std::size_t i = 0; i < data.rows.size(); ++i) {
        const Figures& row = data.rows[i];
        const Series& series = h.series[row.series];
        std::optional<std::uint32_t> latest;
        if (row.latest) {
            latest = row.latest_run;
        }
        out << (i > 0 ? ",\n" : "\n") << "{\"name\": " << JsonString(series.name)
            << ", \"latest_bytes\": " << (row.latest ? Decimal(*row.latest) : "null")
            << ", \"latest_date\": " << JsonDate(h, latest)
            << ", \"measured\": " << (row.measured ? "true" : "false")
            << ", \"change_previous_run\": " << JsonNumber(row.change_previous)
            << ", \"change_7_days\": " << JsonNumber(row.change_7_days)
            << ", \"change_30_days\": " << JsonNumber(row.change_30_days)
            << ", \"growth_per_day_30_days\": " << JsonNumber(row.growth_per_day)
            << ", \"growth_per_day_fit\": " << JsonNumber(row.growth_fit)
            << ", \"new_since\": " << JsonDate(h, row.new_since)
            << ", \"gone_since\": " << JsonDate(h, row.gone_since) << ", \"series\": [";
        for (std::size_t p = 0; p < series.runs.size(); ++p) {
            const std::optional<ByteCount> value = h.ValueOf(series.values[p]);
            out << (p > 0 ? ", " : "") << dates[series.runs[p]]
                << (value ? Decimal(*value) : "null") << "]";
        }
        out << "]}";
    }
    out << "\n]}\n";
}

// A label value of the exposition format: the shown name, UTF-8 and one
// for each name, which holds no line feed; its backslashes and quotes escaped.
std::string LabelValue(std::string_view text) {
    std::string value;
    for (const char c : Shown(text)) {
        if (c == '\\' || c == '"') {
            value += '\\';
        }
        value += c;
    }
    return value;
}

void WriteOpenMetrics(const ReportData& data, Output& out) {
    const History& h = data.history;
    const std::string directory = "directory=\"" + LabelValue(data.directory) + "\"";
    auto labels = [&](const Figures& row) {
        return "{" + directory + ",subdirectory=\"" + LabelValue(h.series[row.series].name) + "\"}";
    };
    out << "# TYPE sizewalk_subdirectory_bytes gauge\n"
           "# UNIT sizewalk_subdirectory_bytes bytes\n"
           "# HELP sizewalk_subdirectory_bytes Size of the subdirectory's whole tree at its last "
           "measurement.\n";
    for (const Figures& row : data.rows) {
        if (row.listed && row.latest) {
            out << "sizewalk_subdirectory_bytes" << labels(row) << " " << Decimal(*row.latest)
                << "\n";
        }
    }
    out << "# TYPE sizewalk_subdirectory_measured gauge\n"
           "# HELP sizewalk_subdirectory_measured 1 when the last run measured the "
           "subdirectory, 0 after a scanning problem.\n";
    for (const Figures& row : data.rows) {
        if (row.listed) {
            out << "sizewalk_subdirectory_measured" << labels(row) << " "
                << (row.measured ? "1" : "0") << "\n";
        }
    }
    out << "# TYPE sizewalk_last_run_timestamp_seconds gauge\n"
           "# UNIT sizewalk_last_run_timestamp_seconds seconds\n"
           "# HELP sizewalk_last_run_timestamp_seconds When the last run recorded the sizes.\n"
           "sizewalk_last_run_timestamp_seconds{"
        << directory << "} " << std::to_string(data.options.last_run_epoch) << "\n";
    const Forecast& f = data.forecast;
    if (f.free) {
        out << "# TYPE sizewalk_filesystem_free_bytes gauge\n"
               "# UNIT sizewalk_filesystem_free_bytes bytes\n"
               "# HELP sizewalk_filesystem_free_bytes Free space of the directory's file system.\n"
               "sizewalk_filesystem_free_bytes{"
            << directory << "} " << Decimal(*f.free) << "\n";
    }
    // The family's head before its first sample, if any.
    const char* growth =
        "# TYPE sizewalk_growth_bytes_per_day gauge\n"
        "# HELP sizewalk_growth_bytes_per_day Growth per day fitted to the last 30 days; summed "
        "without a subdirectory label.\n";
    for (const Figures& row : data.rows) {
        if (row.growth_fit) {
            out << std::exchange(growth, "") << "sizewalk_growth_bytes_per_day" << labels(row)
                << " " << JsonNumber(row.growth_fit) << "\n";
        }
    }
    if (f.growth_per_day) {
        out << std::exchange(growth, "") << "sizewalk_growth_bytes_per_day{" << directory << "} "
            << JsonNumber(f.growth_per_day) << "\n";
    }
    if (f.full_in_seconds) {
        out << "# TYPE sizewalk_full_in_seconds gauge\n"
               "# UNIT sizewalk_full_in_seconds seconds\n"
               "# HELP sizewalk_full_in_seconds Until the directory's file system is full.\n"
               "sizewalk_full_in_seconds{"
            << directory << "} " << Fixed(*f.full_in_seconds, 0) << "\n";
    }
    out << "# EOF\n";
}

}  // namespace

RowTexts TextsOf(const ReportData& data, const Figures& row) {
    const History& h = data.history;
    const bool exact = data.options.exact_bytes;
    RowTexts t;
    t.name = Shown(h.series[row.series].name);
    if (row.latest) {
        t.size = Size(*row.latest, exact);
        t.as_of = IsoDate(h.runs[row.latest_run].when.day);
    }
    t.previous = Change(row.change_previous, exact);
    t.week = Change(row.change_7_days, exact);
    t.month = Change(row.change_30_days, exact);
    t.per_day = Change(row.growth_per_day, exact);
    t.fit = Change(row.growth_fit, exact);
    std::vector<std::string> notes;
    if (row.new_since) {
        notes.push_back("new since " + IsoDate(h.runs[*row.new_since].when.day));
    }
    if (row.gone_since) {
        notes.push_back("gone since " + IsoDate(h.runs[*row.gone_since].when.day));
    }
    if (row.listed && !row.measured) {
        notes.emplace_back("not measured in the last run");
    }
    for (const std::string& note : notes) {
        t.note += (t.note.empty() ? "" : ", ") + note;
    }
    return t;
}

std::string SummaryLine(std::string_view directory, const History& history) {
    return "Size history of " + Shown(directory) + ": " + PeriodText(history);
}

std::string PeriodText(const History& history) {
    std::string line = IsoDate(history.runs.front().when.day) + " to " +
                       IsoDate(history.runs.back().when.day) + ", " +
                       std::to_string(history.runs.size()) +
                       (history.runs.size() == 1 ? " run" : " runs") + ", read from ";
    // The day's reports are many: they are named by their range.
    std::vector<std::string> names;
    std::vector<std::string> daily;
    for (const FileSummary& file : history.files) {
        if (!file.unreadable.empty()) {
            continue;
        }
        const bool day_report = IsDayFileName(file.name, true);
        (day_report ? daily : names).push_back(Shown(file.name));
    }
    if (daily.size() > 2) {
        names.push_back(std::to_string(daily.size()) + " daily reports (" + daily.front() + " to " +
                        daily.back() + ")");
    } else {
        names.insert(names.end(), daily.begin(), daily.end());
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        line += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    }
    return line;
}

std::vector<std::string> FileNotes(const History& history) {
    std::vector<std::string> notes;
    for (const FileSummary& file : history.files) {
        const std::string name = Shown(file.name) + ": ";
        if (!file.unreadable.empty()) {
            notes.push_back(name + file.unreadable);
        }
        if (file.skipped_lines > 0) {
            notes.push_back(name + std::to_string(file.skipped_lines) +
                            (file.skipped_lines == 1
                                 ? " line could not be read and was skipped (line "
                                 : " lines could not be read and were skipped (the "
                                   "first is line ") +
                            std::to_string(file.first_skipped_line) + ")");
        }
        if (file.future_runs > 0) {
            notes.push_back(name + std::to_string(file.future_runs) +
                            (file.future_runs == 1 ? " run is" : " runs are") +
                            " dated after now and left out (a clock that was wrong?): " +
                            (file.future_runs == 1 ? "" : "the first is ") +
                            IsoWhen(file.first_future));
        }
    }
    return notes;
}

void WriteReport(const ReportData& data, Output& out) {
    switch (data.options.format) {
        case Format::kTable:
            WriteTable(data, out);
            break;
        case Format::kCsv:
            WriteCsv(data, out);
            break;
        case Format::kJson:
            WriteJson(data, out);
            break;
        case Format::kOpenMetrics:
            WriteOpenMetrics(data, out);
            break;
        case Format::kHtml:
            WriteHtml(data, out);
            break;
    }
}

}  // namespace sizewalk::history
