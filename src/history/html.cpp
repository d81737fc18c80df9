// The report as one self-contained page: a line chart of the largest
// growers drawn as inline SVG, and the table. No scripts, nothing fetched.
#include <algorithm>
#include <cmath>

#include "history/report.h"
#include "history/text.h"

namespace sizewalk::history {
namespace {

// Distinct on screen and on paper; the first one is the largest grower.
constexpr const char* kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e",
                                    "#9467bd", "#8c564b", "#e377c2", "#17becf"};
constexpr std::size_t kLines = std::size(kColours);

// The SVG's view box is as wide as a page's column; the plot area inside it.
constexpr int kWidth = 960;
constexpr double kLeft = 90;
constexpr double kRight = 940;
constexpr double kTop = 20;
constexpr double kBottom = 360;

// The legend below the date axis: a grid of keys, each a swatch and a name
// cut to what one grid cell holds.
constexpr std::size_t kLegendColumns = 4;
constexpr double kLegendColumnWidth = 215;
constexpr double kLegendRowHeight = 22;
constexpr double kLegendFirstRow = kBottom + 45;  // below the date labels
constexpr double kLegendMargin = 5;               // below the last row
constexpr std::size_t kLegendNameLength = 26;

std::string Escaped(std::string_view text) {
    std::string html;
    for (const char c : text) {
        switch (c) {
            case '&':
                html += "&amp;";
                break;
            case '<':
                html += "&lt;";
                break;
            case '>':
                html += "&gt;";
                break;
            case '"':
                html += "&quot;";
                break;
            default:
                html += c;
        }
    }
    return html;
}

std::string Number(double value) {
    return Fixed(value, 1);
}

// Seconds since the epoch; a date alone counts from its midnight.
double Seconds(const When& when) {
    return static_cast<double>(when.day) * 86400 + std::max(when.seconds, 0);
}

struct Tick {
    double position;
    std::string label;
};

// About five steps of 1, 2, 2.5 or 5 times a power of ten of one binary unit.
std::vector<Tick> SizeTicks(double largest, double& top) {
    std::size_t unit = 0;
    double scale = 1;
    while (largest / scale >= 1024 && unit + 1 < std::size(kBinaryUnits)) {
        scale *= 1024;
        ++unit;
    }
    const double range = std::max(largest / scale, 1.0);
    const double power = std::pow(10.0, std::floor(std::log10(range / 5)));
    double step = power;
    for (const double factor : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        step = factor * power;
        if (range / step <= 5) {
            break;
        }
    }
    const double steps = std::max(std::ceil(range / step - 1e-9), 1.0);
    top = steps * step * scale;
    std::vector<Tick> ticks;
    // Whole numbers, or the decimals the step has (0.25): never an exponent.
    int decimals = 0;
    for (double shifted = step; decimals < 3 && std::fabs(shifted - std::round(shifted)) > 1e-9;
         shifted *= 10) {
        ++decimals;
    }
    for (int i = 0; i <= static_cast<int>(steps); ++i) {
        ticks.push_back({i * step * scale, Fixed(i * step, decimals) + " " + kBinaryUnits[unit]});
    }
    return ticks;
}

// Dates at whole days, months or years, at most about eight of them.
std::vector<Tick> DateTicks(std::int32_t first_day, std::int32_t last_day) {
    std::vector<Tick> ticks;
    const std::int32_t span = std::max(last_day - first_day, 1);
    if (span <= 8 * 14) {
        std::int32_t step = 1;
        for (const std::int32_t s : {1, 2, 7, 14}) {
            step = s;
            if (span / s <= 8) {
                break;
            }
        }
        for (std::int32_t day = first_day; day <= last_day; day += step) {
            ticks.push_back({static_cast<double>(day) * 86400, IsoDate(day)});
        }
        return ticks;
    }
    int year = 0;
    int month = 0;
    int day = 0;
    CivilFromDays(first_day, year, month, day);
    const int months = span / 30;
    int step = 1;
    for (const int s : {1, 2, 3, 6, 12, 24, 60, 120, 600}) {
        step = s;
        if (months / s <= 7) {
            break;
        }
    }
    for (int index = year * 12 + month;; ++index) {  // the first of the next month on
        const int y = index / 12;
        const int m = index % 12 + 1;
        const std::int32_t at = DaysFromCivil(y, m, 1);
        if (at > last_day) {
            break;
        }
        if ((index % step) == 0) {
            const std::string iso = IsoDate(at);
            ticks.push_back({static_cast<double>(at) * 86400,
                             step >= 12 ? iso.substr(0, 4) : iso.substr(0, 7)});
        }
    }
    return ticks;
}

constexpr const char* kTotalColour = "#555555";

// Where the disk fills within as long after the last run as the chart
// reaches back: the total of the subdirectories on the directory's file
// system at each run, and the size it reaches on the day it is full at the
// fitted growth.
struct Projection {
    std::vector<double> totals;  // by run
    double full_at = 0;          // as Seconds()
    double level = 0;
};

std::optional<Projection> Project(const ReportData& data, double t0, double t1) {
    const History& h = data.history;
    const Forecast& f = data.forecast;
    if (!f.full_in_seconds) {
        return std::nullopt;
    }
    Projection p;
    p.full_at = Seconds(f.now) + *f.full_in_seconds;
    if (p.full_at - t1 > t1 - t0) {
        return std::nullopt;
    }
    // A size not known (a scanning problem, a run cut off) is the last one
    // known; one that a complete run does not list is gone.
    std::vector<bool> elsewhere(h.series.size());
    for (const std::uint32_t series : f.elsewhere) {
        elsewhere[series] = true;
    }
    p.totals.assign(h.runs.size(), 0);
    for (std::size_t i = 0; i < h.series.size(); ++i) {
        const Series& series = h.series[i];
        if (elsewhere[i]) {
            continue;
        }
        double size = 0;
        for (std::size_t r = series.runs.front(), at = 0; r < h.runs.size(); ++r) {
            if (at < series.runs.size() && series.runs[at] == r) {
                const std::optional<ByteCount> value = h.ValueOf(series.values[at++]);
                size = value ? static_cast<double>(*value) : size;
            } else if (h.runs[r].complete) {
                size = 0;
            }
            p.totals[r] += size;
        }
    }
    p.level = p.totals.back() +
              f.growth_per_day->ToDouble() * (p.full_at - Seconds(h.runs.back().when)) / 86400;
    return p;
}

void WriteChart(const ReportData& data, const std::vector<const Figures*>& lines, Output& out) {
    const History& h = data.history;
    const double t0 = Seconds(h.runs.front().when);
    double t1 = t0 + 86400;
    for (const Run& run : h.runs) {
        t1 = std::max(t1, Seconds(run.when));
    }
    const std::optional<Projection> projection = Project(data, t0, t1);
    double largest = 1;
    std::int32_t last_day = h.runs.back().when.day;
    if (projection) {
        largest = std::max(projection->level,
                           *std::max_element(projection->totals.begin(), projection->totals.end()));
        t1 = projection->full_at;
        last_day = static_cast<std::int32_t>(t1 / 86400);
    }
    for (const Figures* row : lines) {
        const Series& series = h.series[row->series];
        for (const std::uint64_t stored : series.values) {
            if (const auto value = h.ValueOf(stored)) {
                largest = std::max(largest, static_cast<double>(*value));
            }
        }
    }
    double top = largest;
    const std::vector<Tick> sizes = SizeTicks(largest, top);
    auto x = [&](double seconds) { return kLeft + (seconds - t0) / (t1 - t0) * (kRight - kLeft); };
    auto y = [&](double bytes) { return kBottom - bytes / top * (kBottom - kTop); };

    const std::size_t keys = lines.size() + (projection ? 1 : 0);
    const std::size_t legend_rows = (keys + kLegendColumns - 1) / kLegendColumns;
    const std::string width = std::to_string(kWidth);
    const std::string height = Number(kLegendFirstRow + kLegendMargin +
                                      static_cast<double>(legend_rows) * kLegendRowHeight);
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " << width << " " << height
        << "\" width=\"" << width << "\" height=\"" << height
        << "\" role=\"img\" aria-label=\"Sizes of the largest growers over time\">\n"
        << "<rect x=\"0\" y=\"0\" width=\"" << width << "\" height=\"" << height
        << "\" fill=\"#ffffff\"/>\n<g font-size=\"12\" fill=\"#333333\">\n";
    for (const Tick& tick : sizes) {
        const std::string at = Number(y(tick.position));
        out << "<line x1=\"" << Number(kLeft) << "\" x2=\"" << Number(kRight) << "\" y1=\"" << at
            << "\" y2=\"" << at << "\" stroke=\"#dddddd\"/>"
            << "<text x=\"" << Number(kLeft - 8) << "\" y=\"" << at
            << "\" text-anchor=\"end\" dominant-baseline=\"middle\">" << tick.label << "</text>\n";
    }
    for (const Tick& tick : DateTicks(h.runs.front().when.day, last_day)) {
        if (tick.position < t0 || tick.position > t1) {
            continue;
        }
        const std::string at = Number(x(tick.position));
        out << "<line x1=\"" << at << "\" x2=\"" << at << "\" y1=\"" << Number(kBottom)
            << "\" y2=\"" << Number(kBottom + 5) << "\" stroke=\"#333333\"/>"
            << "<text x=\"" << at << "\" y=\"" << Number(kBottom + 20)
            << "\" text-anchor=\"middle\">" << tick.label << "</text>\n";
    }
    out << "<line x1=\"" << Number(kLeft) << "\" x2=\"" << Number(kRight) << "\" y1=\""
        << Number(kBottom) << "\" y2=\"" << Number(kBottom) << "\" stroke=\"#333333\"/>\n</g>\n";

    // Each run's place: a date alone (midnight) comes after the timed runs
    // of its day, so it is drawn no earlier than they are.
    std::vector<double> run_x(h.runs.size());
    for (std::size_t r = 0; r < h.runs.size(); ++r) {
        run_x[r] = std::max(x(Seconds(h.runs[r].when)), r > 0 ? run_x[r - 1] : kLeft);
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Series& series = h.series[lines[i]->series];
        std::string path;
        double last_x = -1;
        bool open = false;
        for (std::size_t p = 0; p < series.runs.size(); ++p) {
            const std::optional<ByteCount> value = h.ValueOf(series.values[p]);
            // A failed measurement, or a run that did not find the
            // subdirectory, breaks the line.
            const bool adjacent = p > 0 && series.runs[p] == series.runs[p - 1] + 1;
            if (!value) {
                open = false;
                continue;
            }
            const double px = run_x[series.runs[p]];
            const bool segment_end = p + 1 == series.runs.size() ||
                                     series.runs[p + 1] != series.runs[p] + 1 ||
                                     series.values[p + 1] == kFailed;
            // One point per pixel column is all a screen shows.
            if (open && adjacent && std::floor(px) == std::floor(last_x) && !segment_end) {
                continue;
            }
            path += (open && adjacent ? " L" : " M") + Number(px) + " " +
                    Number(y(static_cast<double>(*value)));
            if (!(open && adjacent) && segment_end) {
                path += " h0";  // alone: a dot (the round cap)
            }
            last_x = px;
            open = true;
        }
        out << "<path d=\"" << path << "\" fill=\"none\" stroke=\"" << kColours[i]
            << "\" stroke-width=\"2.5\" stroke-linejoin=\"round\" stroke-linecap=\"round\"/>\n";
    }
    if (projection) {
        std::string path;
        double last_x = -1;
        for (std::size_t r = 0; r < h.runs.size(); ++r) {
            if (std::floor(run_x[r]) != std::floor(last_x) || r + 1 == h.runs.size()) {
                path += (path.empty() ? "M" : " L") + Number(run_x[r]) + " " +
                        Number(y(projection->totals[r]));
                last_x = run_x[r];
            }
        }
        const std::string level = Number(y(projection->level));
        out << "<path d=\"" << path << "\" fill=\"none\" stroke=\"" << kTotalColour
            << "\" stroke-width=\"2.5\" stroke-linejoin=\"round\"/>\n<path d=\"M" << Number(last_x)
            << " " << Number(y(projection->totals.back())) << " L" << Number(kRight) << " " << level
            << "\" fill=\"none\" stroke=\"" << kTotalColour
            << "\" stroke-width=\"2.5\" stroke-dasharray=\"8 6\"/>\n<line x1=\"" << Number(kLeft)
            << "\" x2=\"" << Number(kRight) << "\" y1=\"" << level << "\" y2=\"" << level
            << "\" stroke=\"#999999\" stroke-dasharray=\"3 4\"/><text x=\"" << Number(kRight)
            << "\" y=\"" << Number(y(projection->level) - 6)
            << "\" font-size=\"12\" fill=\"#333333\" text-anchor=\"end\">full on "
            << IsoDate(data.forecast.full_on) << "</text>\n";
    }
    out << "<g font-size=\"13\" fill=\"#222222\">\n";
    for (std::size_t i = 0; i < keys; ++i) {
        const bool total = i == lines.size();
        const std::string name =
            total ? "total (this file system)"
                  : Truncated(Shown(h.series[lines[i]->series].name), kLegendNameLength);
        const double lx = kLeft + static_cast<double>(i % kLegendColumns) * kLegendColumnWidth;
        const double ly =
            kLegendFirstRow + static_cast<double>(i / kLegendColumns) * kLegendRowHeight;
        out << "<rect x=\"" << Number(lx) << "\" y=\"" << Number(ly - 9)
            << "\" width=\"18\" height=\"10\" fill=\"" << (total ? kTotalColour : kColours[i])
            << "\"/><text x=\"" << Number(lx + 24) << "\" y=\"" << Number(ly) << "\">"
            << Escaped(name) << "</text>\n";
    }
    out << "</g>\n</svg>\n";
}

}  // namespace

void WriteHtml(const ReportData& data, Output& out) {
    const History& h = data.history;
    const std::string title = "Size history of " + Escaped(Shown(data.directory));
    out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" << title
        << "</title>\n<style>\n"
           "body { font-family: sans-serif; margin: 24px; color: #222222; background: #ffffff; }\n"
           "h1 { font-size: 20px; overflow-wrap: anywhere; }\n"
           "table { border-collapse: collapse; margin-top: 16px; }\n"
           "th, td { padding: 3px 10px; border-bottom: 1px solid #e4e4e4; }\n"
           "th { text-align: left; background: #f2f2f2; }\n"
           "td.n { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap; }\n"
           "td.name { max-width: 36em; overflow-wrap: anywhere; }\n"
           ".key { display: inline-block; width: 12px; height: 12px; margin-right: 6px; }\n"
           ".note { color: #8a5a00; }\n"
           ".forecast { font-size: 17px; overflow-wrap: anywhere; }\n"
           "</style>\n</head>\n<body>\n<h1>"
        << title << "</h1>\n<p>" << Escaped(PeriodText(h)) << "</p>\n";
    for (const std::string& note : FileNotes(h)) {
        out << "<p class=\"note\">" << Escaped(note) << "</p>\n";
    }
    out << "<p class=\"forecast\">"
        << Escaped(ForecastLine(data.directory, h, data.forecast, data.options.exact_bytes));
    if (const std::string left_out = LeftOutLine(h, data.forecast); !left_out.empty()) {
        out << "<br>" << Escaped(left_out);
    }
    out << "</p>\n";

    // The lines: the largest growers that were ever measured.
    std::vector<const Figures*> lines;
    for (const Figures& row : data.rows) {
        if (row.latest) {
            lines.push_back(&row);
        }
    }
    std::stable_sort(lines.begin(), lines.end(),
                     [](const Figures* a, const Figures* b) { return a->growth > b->growth; });
    lines.resize(std::min(lines.size(), kLines));
    WriteChart(data, lines, out);

    out << "<table>\n<tr><th>Name</th><th>Size</th><th>As of</th><th>Last run</th>"
           "<th>7 days</th><th>30 days</th><th>Per day</th><th>Fitted per day</th><th></th></tr>\n";
    for (const Figures& row : data.rows) {
        const RowTexts t = TextsOf(data, row);
        const auto charted = std::find(lines.begin(), lines.end(), &row);
        std::string key;
        if (charted != lines.end()) {
            key = "<span class=\"key\" style=\"background: " +
                  std::string(kColours[charted - lines.begin()]) + "\"></span>";
        }
        out << "<tr><td class=\"name\">" << key << Escaped(t.name) << "</td><td class=\"n\">"
            << t.size << "</td><td>" << t.as_of << "</td><td class=\"n\">" << t.previous
            << "</td><td class=\"n\">" << t.week << "</td><td class=\"n\">" << t.month
            << "</td><td class=\"n\">" << t.per_day << "</td><td class=\"n\">" << t.fit
            << "</td><td class=\"note\">" << Escaped(t.note) << "</td></tr>\n";
    }
    out << "</table>\n</body>\n</html>\n";
}

}  // namespace sizewalk::history
