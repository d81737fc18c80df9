// The text reports of styles 1 and 2.
#include <string>
#include <utility>

#include "common/text.h"
#include "common/tracking_file/fields.h"
#include "common/tracking_file/layout.h"
#include "common/tracking_file/names.h"
#include "history/parser.h"

namespace sizewalk::history {
namespace {

// The text reports: an optional header (title, rule, empty line), then
// blocks of a head line with the date and time, an empty line, one entry
// per subdirectory (size at column 1, name at column 17), an empty line,
// the totals line, the rule and an empty line.
class TextParser final : public LineParser {
  public:
    using LineParser::LineParser;

    void Line(std::string_view raw, bool terminated) override {
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
        if (line.starts_with(kHeadLineStart)) {
            builder_.EndRun(false);
            const std::optional<When> when = HeadLine(line);
            if (when) {
                builder_.BeginRun(*when);
            } else {
                // Its entries belong to no run that can be dated.
                SkipLine(line_number_);
            }
            state_ = when ? State::kHead : State::kUnreadableBlock;
            return;
        }
        const bool rule = !line.empty() && line.find_first_not_of('-') == std::string_view::npos;
        switch (state_) {
            case State::kUnreadableBlock:
                if (rule) {
                    state_ = State::kOutside;
                } else if (!line.empty()) {
                    SkipLine(line_number_);
                }
                return;
            case State::kTotals:
            case State::kOutside:
                state_ = State::kOutside;
                if (!line.empty() && !rule &&
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
            state_ = State::kTotals;
            return;
        }
        state_ = State::kEntries;
        Entry(line);
    }

    void End() override {
        if (wrapped_) {
            NotWrapped(line_number_);
        }
        // A block is closed by its totals line and the rule: without them
        // at the file's end, a run is still writing it (or broke off).
        if (state_ != State::kOutside && state_ != State::kUnreadableBlock) {
            builder_.DropOpenRun();
        }
        builder_.EndRun(false);
    }

  private:
    // The columns before the name.
    static constexpr std::size_t kNameAt = kNameColumn - 1;
    enum class State {
        kOutside,
        kHead,
        kEntries,
        kAfterEntries,
        kTotals,           // the rule comes next
        kUnreadableBlock,  // after a head line that cannot be read
    };

    // The time of a line that starts as a head line does:
    // "Directory Size Track (bytes) for '<dir>' at d-MM-yyyy hh:mm:ss"
    static std::optional<When> HeadLine(std::string_view line) {
        const std::size_t at = line.rfind(kHeadLineAt);
        if (at == std::string_view::npos || at < kHeadLineStart.size()) {
            return std::nullopt;
        }
        const std::optional<LocalTime> t = ReadDateTime(line.substr(at + kHeadLineAt.size()));
        if (!t) {
            return std::nullopt;
        }
        return WhenOf(*t);
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
                if (!found_size || CharacterCount(line) > kNameAt) {
                    wrapped_ = value;
                    beside_.reset();
                    if (found_size) {
                        beside_.emplace(*found_size, found_name);
                    }
                    return;
                }
                break;
            }
            const std::size_t width = CharacterCount(line.substr(0, pos));
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

}  // namespace

std::unique_ptr<LineParser> MakeTextParser(HistoryBuilder& builder) {
    return std::make_unique<TextParser>(builder);
}

}  // namespace sizewalk::history
