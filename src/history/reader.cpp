#include "history/reader.h"

#include <cstring>
#include <string>
#include <vector>

#include "common/text.h"
#include "common/tracking_file/fields.h"
#include "common/tracking_file/names.h"

namespace sizewalk::history {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A date at `pos` as days since 1970-01-01.
std::optional<std::int32_t> DayAt(std::string_view s, std::size_t& pos) {
    const std::optional<LocalTime> date = ReadDate(s, pos);
    if (!date) {
        return std::nullopt;
    }
    return DaysFromCivil(date->year, date->month, date->day);
}

std::string_view WithoutCr(std::string_view line) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

// The number of characters of `text` when it is UTF-8, else its bytes.
std::size_t Width(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8Length(text, i);
        if (length == 0) {
            return text.size();
        }
        i += length;
        ++count;
    }
    return count;
}

// A name and its measurement: a scanning problem after the name marks a
// failed one.
struct Measurement {
    std::string_view name;
    std::optional<ByteCount> size;
};

Measurement Measured(std::string_view name, ByteCount size) {
    if (const std::optional<std::string_view> failed = NameWithProblem(name)) {
        return {*failed, std::nullopt};
    }
    return {name, size};
}

// Splits blocks into lines (without the LF, with any CR) for a parser.
template <typename Parser>
class LineSplitter {
  public:
    explicit LineSplitter(Parser& parser) : parser_(parser) {}

    // Hands over every complete line of `data`; returns the bytes taken.
    std::size_t Feed(std::string_view data) {
        std::size_t pos = 0;
        while (pos < data.size()) {
            const void* lf = std::memchr(data.data() + pos, '\n', data.size() - pos);
            if (lf == nullptr) {
                break;
            }
            const auto end = static_cast<std::size_t>(static_cast<const char*>(lf) - data.data());
            if (skipping_) {
                skipping_ = false;
            } else {
                parser_.Line(data.substr(pos, end - pos), true);
            }
            pos = end + 1;
        }
        return pos;
    }

    // A line longer than any tracking file writes: one skipped line.
    void Overlong() {
        if (!skipping_) {
            parser_.Skip();
            skipping_ = true;
        }
    }

    void End(std::string_view rest) {
        if (!rest.empty() && !skipping_) {
            parser_.Line(rest, false);
        }
        parser_.End();
    }

  private:
    Parser& parser_;
    bool skipping_ = false;
};

class ParserBase {
  public:
    explicit ParserBase(HistoryBuilder& builder) : builder_(builder) {}

    // A line too long to be one of a tracking file.
    void Skip() { SkipLine(++line_number_); }

  protected:
    void SkipLine(std::uint64_t number) {
        FileSummary& file = builder_.CurrentFile();
        if (file.skipped_lines++ == 0) {
            file.first_skipped_line = number;
        }
    }

    HistoryBuilder& builder_;
    std::uint64_t line_number_ = 0;
};

// dd/MM/yyyy,bytes,name rows. The name is the rest of the row after the
// size: this program quotes it as a CSV field when it must (then it may span
// lines), the original program wrote it as it was, commas and all.
class CsvParser : public ParserBase {
  public:
    using ParserBase::ParserBase;

    void Line(std::string_view raw, bool terminated) {
        ++line_number_;
        if (!pending_.empty()) {
            Continue(raw, terminated);
        } else if (!terminated) {
            SkipLine(line_number_);  // torn by an interrupted run
        } else if (Row(raw, line_number_, true) == RowEnd::kOpenQuote) {
            pending_.push_back({std::string(raw), line_number_, true});
        }
    }

    void End() {
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

// The text reports: an optional header (title, rule, empty line), then
// blocks of a head line with the date and time, an empty line, one entry
// per subdirectory (size at column 1, name at column 17), an empty line,
// the totals line, the rule and an empty line.
class TextParser : public ParserBase {
  public:
    using ParserBase::ParserBase;

    void Line(std::string_view raw, bool terminated) {
        ++line_number_;
        if (!terminated) {
            SkipLine(line_number_);  // torn by an interrupted run
            return;
        }
        const std::string_view line = WithoutCr(raw);
        if (wrapped_) {
            const ByteCount size = *wrapped_;
            wrapped_.reset();
            if (line.size() > kNameAt &&
                line.substr(0, kNameAt).find_first_not_of(' ') == std::string_view::npos) {
                Add(line.substr(kNameAt), size);
                return;
            }
            NotWrapped(line_number_ - 1);
        }
        if (const auto when = HeadLine(line)) {
            builder_.EndRun(false);
            builder_.BeginRun(*when);
            state_ = State::kHead;
            return;
        }
        switch (state_) {
            case State::kOutside:
                if (!line.empty() && line.find_first_not_of('-') != std::string_view::npos &&
                    line.find(kTitleCopyright) == std::string_view::npos) {
                    SkipLine(line_number_);
                }
                return;
            case State::kHead:
            case State::kEntries:
                if (line.empty()) {
                    state_ = state_ == State::kHead ? State::kEntries : State::kAfterEntries;
                    return;
                }
                break;
            case State::kAfterEntries:
                if (line.empty()) {
                    return;
                }
                break;
        }
        if (line.starts_with(kTotalsStart)) {
            builder_.EndRun(true);
            state_ = State::kOutside;
            return;
        }
        state_ = State::kEntries;
        Entry(line);
    }

    void End() {
        if (wrapped_) {
            NotWrapped(line_number_);
        }
        builder_.EndRun(false);
    }

  private:
    // The columns before the name.
    static constexpr std::size_t kNameAt = kNameColumn - 1;
    enum class State { kOutside, kHead, kEntries, kAfterEntries };

    // "Directory Size Track (bytes) for '<dir>' at d-MM-yyyy hh:mm:ss"
    static std::optional<When> HeadLine(std::string_view line) {
        if (!line.starts_with(kHeadLineStart)) {
            return std::nullopt;
        }
        const std::size_t at = line.rfind(kHeadLineAt);
        if (at == std::string_view::npos || at < kHeadLineStart.size()) {
            return std::nullopt;
        }
        const std::optional<LocalTime> t = ReadDateTime(line.substr(at + kHeadLineAt.size()));
        if (!t) {
            return std::nullopt;
        }
        return When{DaysFromCivil(t->year, t->month, t->day),
                    (t->hour * 60 + t->minute) * 60 + t->second};
    }

    // An entry line. The size field is the digits with the locale's group
    // separators, which may be any characters: the field is the one after
    // which blanks reach column 17, where the name starts. A field alone on
    // its line was too wide: the name follows on the next line.
    void Entry(std::string_view line) {
        if (line.starts_with(kFailedSizeField) && line.size() > kNameAt &&
            line.substr(kFailedSizeField.size(), kNameAt - kFailedSizeField.size())
                    .find_first_not_of(' ') == std::string_view::npos) {
            Add(Measured(line.substr(kNameAt), 0).name, std::nullopt);
            return;
        }
        std::size_t pos = 0;
        ByteCount value = 0;
        std::string_view separator;
        std::optional<ByteCount> found_size;
        std::string_view found_name;
        while (pos < line.size() && IsDigit(line[pos])) {
            for (; pos < line.size() && IsDigit(line[pos]); ++pos) {
                if (!AppendDigit(value, line[pos])) {
                    SkipLine(line_number_);
                    return;
                }
            }
            if (pos == line.size()) {
                // A field too wide for the name beside it, or, with blanks
                // between groups, maybe a field and a name of digits: the
                // next line tells.
                if (!found_size || Width(line) > kNameAt) {
                    wrapped_ = value;
                    beside_.reset();
                    if (found_size) {
                        beside_.emplace(*found_size, found_name);
                    }
                    return;
                }
                break;
            }
            const std::size_t width = Width(line.substr(0, pos));
            if (width <= kNameAt) {
                const std::size_t name_at = pos + kNameAt - width;
                if (line.size() > name_at &&
                    line.substr(pos, name_at - pos).find_first_not_of(' ') ==
                        std::string_view::npos) {
                    found_size = value;
                    found_name = line.substr(name_at);
                }
            }
            const std::size_t start = pos;
            while (pos < line.size() && !IsDigit(line[pos]) && pos - start <= 4) {
                ++pos;
            }
            const std::string_view between = line.substr(start, pos - start);
            if (pos - start > 4 || pos == line.size() ||
                (!separator.empty() && between != separator)) {
                break;
            }
            separator = between;
        }
        if (!found_size) {
            SkipLine(line_number_);
            return;
        }
        const Measurement m = Measured(found_name, *found_size);
        Add(m.name, m.size);
    }

    // The line `number` held a size field alone, but no name followed.
    void NotWrapped(std::uint64_t number) {
        if (!beside_) {
            SkipLine(number);
            return;
        }
        const Measurement m = Measured(beside_->second, beside_->first);
        Add(m.name, m.size);
    }

    // The report shows a name escaped (EscapeText).
    void Add(std::string_view shown, std::optional<ByteCount> size) {
        if (shown.find('\\') != std::string_view::npos) {
            name_ = UnescapeText(shown);
            shown = name_;
        }
        if (shown.empty()) {
            SkipLine(line_number_);
            return;
        }
        builder_.AddEntry(shown, size);
    }

    State state_ = State::kOutside;
    std::optional<ByteCount> wrapped_;
    std::optional<std::pair<ByteCount, std::string>> beside_;
    std::string name_;
};

template <typename Parser>
Status Read(InputFile& file, HistoryBuilder& builder) {
    static constexpr std::size_t kBlock = std::size_t{1} << 20;
    Parser parser(builder);
    LineSplitter<Parser> lines(parser);
    std::vector<char> buffer(kBlock);
    std::size_t kept = 0;
    for (;;) {
        const Outcome<std::size_t> got = file.Read(buffer.data() + kept, buffer.size() - kept);
        if (!got.ok()) {
            return got.error();
        }
        if (got.value() == 0) {
            lines.End(std::string_view(buffer.data(), kept));
            return std::nullopt;
        }
        const std::size_t filled = kept + got.value();
        const std::size_t taken = lines.Feed(std::string_view(buffer.data(), filled));
        kept = filled - taken;
        if (kept == buffer.size()) {
            lines.Overlong();
            kept = 0;
        } else if (taken > 0) {
            std::memmove(buffer.data(), buffer.data() + taken, kept);
        }
    }
}

class MemoryFile final : public InputFile {
  public:
    explicit MemoryFile(std::string_view bytes) : bytes_(bytes) {}
    Outcome<std::size_t> Read(char* buffer, std::size_t size) override {
        const std::size_t n = std::min(size, bytes_.size());
        std::memcpy(buffer, bytes_.data(), n);
        bytes_.remove_prefix(n);
        return n;
    }

  private:
    std::string_view bytes_;
};

}  // namespace

Status ReadTrackingFile(InputFile& file, Layout layout, HistoryBuilder& builder) {
    return layout == Layout::kCsv ? Read<CsvParser>(file, builder)
                                  : Read<TextParser>(file, builder);
}

void ParseTrackingBytes(std::string_view bytes, Layout layout, HistoryBuilder& builder) {
    MemoryFile file(bytes);
    ReadTrackingFile(file, layout, builder);
}

}  // namespace sizewalk::history
