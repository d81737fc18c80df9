// Style 3's rows: dd/MM/yyyy,bytes,name.
#include <string>
#include <vector>

#include "common/tracking_file/fields.h"
#include "common/tracking_file/names.h"
#include "history/parser.h"

namespace sizewalk::history {
namespace {

// A date at `pos` as days since 1970-01-01.
std::optional<std::int32_t> DayAt(std::string_view s, std::size_t& pos) {
    const std::optional<LocalTime> date = ReadDate(s, pos);
    if (!date) {
        return std::nullopt;
    }
    return DaysFromCivil(date->year, date->month, date->day);
}

// dd/MM/yyyy,bytes,name rows. The name is the rest of the row after the
// size: this program quotes it as a CSV field when it must (then it may span
// lines), the original program wrote it as it was, commas and all.
class CsvParser final : public LineParser {
  public:
    using LineParser::LineParser;

    void Line(std::string_view raw, bool terminated) override {
        ++line_number_;
        if (!pending_.empty()) {
            Continue(raw, terminated);
        } else if (!terminated) {
            SkipLine(line_number_);  // torn by an interrupted run
        } else if (Row(raw, line_number_, true) == RowEnd::kOpenQuote) {
            pending_.push_back({std::string(raw), line_number_, true});
        }
    }

    void End() override {
        while (!pending_.empty()) {
            GiveUpQuote();
        }
    }

  private:
    // The longest quoted name that may span lines: a name is at most 255
    // bytes, each quote doubled, and a scanning problem after it names a path
    // of at most 256 bytes, each escaped in at most four.
    static constexpr std::size_t kMaxQuoted = 4096;

    struct Pending {
        std::string text;
        std::uint64_t number;
        bool terminated;
    };

    enum class RowEnd {
        kDone,
        kOpenQuote,  // a quoted name goes on in the next line
        kNoField,    // lines joined for a quoted name that does not close as a field
    };

    RowEnd Row(std::string_view raw, std::uint64_t number, bool may_continue) {
        const std::string_view line = WithoutCr(raw);
        // Rows of one run share their date: it is read once.
        if (last_date_text_.empty() || !line.starts_with(last_date_text_)) {
            std::size_t pos = 0;
            const auto day = DayAt(line, pos);
            if (!day || pos >= line.size() || line[pos] != ',') {
                SkipLine(number);
                return RowEnd::kDone;
            }
            last_day_ = *day;
            last_date_text_ = line.substr(0, pos + 1);
        }
        std::size_t pos = last_date_text_.size();
        const auto size = ReadDecimal(line, pos);
        if (!size || pos >= line.size() || line[pos] != ',' || pos + 1 == line.size()) {
            SkipLine(number);
            return RowEnd::kDone;
        }
        std::string_view name = line.substr(pos + 1);
        if (name.front() == '"') {
            const QuotedField quote = UnquoteField(name, unquoted_);
            if (quote == QuotedField::kClosed) {
                name = unquoted_;
            } else if (quote == QuotedField::kOpen && may_continue) {
                return RowEnd::kOpenQuote;
            } else if (name.find('\n') != std::string_view::npos) {
                return RowEnd::kNoField;
            }
            // Otherwise a name that merely begins with a quote.
        }
        Measurement m = *size == 0 ? Measured(name, 0) : Measurement{name, size};
        if (kCsvNamesEscaped && m.name.find('\\') != std::string_view::npos) {
            unescaped_ = UnescapeText(m.name);
            m.name = unescaped_;
        }
        if (m.name.empty()) {
            SkipLine(number);
        } else {
            builder_.AddRow(last_day_, m.name, m.size);
        }
        return RowEnd::kDone;
    }

    // The next line of a quoted name that holds a line end.
    void Continue(std::string_view raw, bool terminated) {
        pending_.push_back({std::string(raw), line_number_, terminated});
        std::string joined;
        for (const Pending& part : pending_) {
            joined += part.text;
            joined += '\n';
        }
        joined.pop_back();
        if (!terminated || joined.size() > kMaxQuoted) {
            GiveUpQuote();
            return;
        }
        const RowEnd end = Row(joined, pending_.front().number, true);
        if (end == RowEnd::kDone) {
            pending_.clear();
        } else if (end == RowEnd::kNoField) {
            GiveUpQuote();
        }
    }

    // The first pending line did not start a quoted name after all: it is a
    // row of its own, and the lines after it are read again.
    void GiveUpQuote() {
        std::vector<Pending> lines = std::move(pending_);
        pending_.clear();
        Row(lines.front().text, lines.front().number, false);
        const std::uint64_t saved = line_number_;
        for (std::size_t i = 1; i < lines.size(); ++i) {
            line_number_ = lines[i].number - 1;
            Line(lines[i].text, lines[i].terminated);
        }
        line_number_ = saved;
    }

    std::vector<Pending> pending_;
    std::string last_date_text_;
    std::int32_t last_day_ = 0;
    std::string unquoted_;
    std::string unescaped_;
};

}  // namespace

std::unique_ptr<LineParser> MakeCsvParser(HistoryBuilder& builder) {
    return std::make_unique<CsvParser>(builder);
}

}  // namespace sizewalk::history
