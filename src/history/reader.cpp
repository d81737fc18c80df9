#include "history/reader.h"

#include <cstring>
#include <vector>

#include "history/parser.h"

namespace sizewalk::history {
namespace {

// Splits blocks into lines (without the LF, with any CR) for a parser.
class LineSplitter {
  public:
    explicit LineSplitter(LineParser& parser) : parser_(parser) {}

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
    LineParser& parser_;
    bool skipping_ = false;
};

class MemoryFile final : public InputFile {
  public:
    explicit MemoryFile(std::string_view bytes) : bytes_(bytes) {}
    Outcome<std::size_t> Read(char* buffer, std::size_t size) override {
        const std::size_t n = std::min(size, bytes_.size());
        std::memcpy(buffer, bytes_.data(), n);
        bytes_.remove_prefix(n);
        return n;
    }
    bool TrustedOwner() const override { return true; }

  private:
    std::string_view bytes_;
};

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

}  // namespace

void LineParser::SkipLine(std::uint64_t number) {
    FileSummary& file = builder_.CurrentFile();
    if (file.skipped_lines++ == 0) {
        file.first_skipped_line = number;
    }
}

std::string_view WithoutCr(std::string_view line) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

Measurement Measured(std::string_view name, ByteCount size) {
    if (const std::optional<std::string_view> failed = NameWithProblem(name)) {
        return {*failed, std::nullopt};
    }
    return {name, size};
}

Status ReadTrackingFile(InputFile& file, Layout layout, HistoryBuilder& builder) {
    static constexpr std::size_t kBlock = std::size_t{1} << 20;
    const std::unique_ptr<LineParser> parser =
        layout == Layout::kCsv ? MakeCsvParser(builder) : MakeTextParser(builder);
    LineSplitter lines(*parser);
    std::vector<char> buffer(kBlock);
    std::size_t kept = 0;
    bool first = true;
    for (;;) {
        const Outcome<std::size_t> got = file.Read(buffer.data() + kept, buffer.size() - kept);
        if (!got.ok()) {
            return got.error();
        }
        if (got.value() == 0) {
            lines.End(std::string_view(buffer.data(), kept));
            return std::nullopt;
        }
        std::size_t filled = kept + got.value();
        if (first && filled >= 2) {
            first = false;
            const std::string_view start(buffer.data(), std::min<std::size_t>(filled, 3));
            // A spreadsheet's or an editor's byte-order mark before the first line.
            if (start == kUtf8Mark) {
                filled -= kUtf8Mark.size();
                std::memmove(buffer.data(), buffer.data() + kUtf8Mark.size(), filled);
            } else if (start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF")) {
                builder.CurrentFile().unreadable =
                    "is UTF-16 (an editor's \"Unicode\"), which no version writes; not read";
                return std::nullopt;
            }
        }
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

void ParseTrackingBytes(std::string_view bytes, Layout layout, HistoryBuilder& builder) {
    MemoryFile file(bytes);
    ReadTrackingFile(file, layout, builder);
}

}  // namespace sizewalk::history
