// The growth report in its formats: a table for people, CSV for
// spreadsheets, JSON for scripts, OpenMetrics for node_exporter's textfile
// collector, and one self-contained HTML page with a chart.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "history/figures.h"
#include "history/forecast.h"
#include "history/model.h"

namespace sizewalk::history {

enum class Format { kTable, kCsv, kJson, kOpenMetrics, kHtml };

struct ReportOptions {
    Format format = Format::kTable;
    SortKey sort = SortKey::kChange;
    bool exact_bytes = false;  // bytes instead of 1.2 GiB (table and page)
    bool utf8 = true;          // block characters in the table's trend, else ASCII
    // When the last run was, for OpenMetrics (a CSV row's day at midnight).
    std::int64_t last_run_epoch = 0;
};

// Collects the report's text and hands it on in large pieces.
class Output {
  public:
    using Sink = std::function<void(std::string_view)>;
    explicit Output(Sink sink) : sink_(std::move(sink)) {}
    ~Output() { Flush(); }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    Output& operator<<(std::string_view text) {
        buffer_ += text;
        if (buffer_.size() >= kChunk) {
            Flush();
        }
        return *this;
    }
    void Flush() {
        if (!buffer_.empty()) {
            sink_(buffer_);
            buffer_.clear();
        }
    }

  private:
    static constexpr std::size_t kChunk = std::size_t{1} << 20;
    Sink sink_;
    std::string buffer_;
};

// Everything a format shows.
struct ReportData {
    std::string_view directory;  // ending with the separator
    const History& history;      // at least one run
    const std::vector<Figures>& rows;
    const Forecast& forecast;
    const ReportOptions& options;
};

// The report's figures of one subdirectory as text, in the units the
// options ask for; empty where a figure is not known.
struct RowTexts {
    std::string name;
    std::string size;
    std::string as_of;
    std::string previous;
    std::string week;
    std::string month;
    std::string per_day;
    std::string fit;   // the fitted growth per day
    std::string note;  // new since, gone since, not measured
};
RowTexts TextsOf(const ReportData& data, const Figures& row);

// "2026-11-01 to 2026-12-05, 36 runs, read from Sizewalk.csv"
std::string PeriodText(const History& history);
// "Size history of /srv/data/: " and the period.
std::string SummaryLine(std::string_view directory, const History& history);

// A line for each file that was not read (and why), and for each with lines
// that could not be read (how many, and the first of them) or with runs
// dated after now (how many, and the first of them): "Sizewalk.csv: ...".
std::vector<std::string> FileNotes(const History& history);

void WriteReport(const ReportData& data, Output& out);

// The HTML page (html.cpp).
void WriteHtml(const ReportData& data, Output& out);

}  // namespace sizewalk::history
