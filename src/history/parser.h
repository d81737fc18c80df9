// What the tracking files' parsers share: lines handed over one by one, a
// count of the lines that cannot be read, and the fields of an entry.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "history/model.h"

namespace sizewalk::history {

class LineParser {
  public:
    explicit LineParser(HistoryBuilder& builder) : builder_(builder) {}
    virtual ~LineParser() = default;
    LineParser(const LineParser&) = delete;
    LineParser& operator=(const LineParser&) = delete;

    // A line without its LF (with any CR); `terminated` is false for the
    // file's last bytes when no LF ends them.
    virtual void Line(std::string_view raw, bool terminated) = 0;
    // The end of the file.
    virtual void End() = 0;
    // A line too long to be one of a tracking file.
    void Skip() { SkipLine(++line_number_); }

  protected:
    void SkipLine(std::uint64_t number);

    HistoryBuilder& builder_;
    std::uint64_t line_number_ = 0;
};

std::unique_ptr<LineParser> MakeCsvParser(HistoryBuilder& builder);
std::unique_ptr<LineParser> MakeTextParser(HistoryBuilder& builder);

std::string_view WithoutCr(std::string_view line);

// A name and its measurement: a scanning problem after the name marks a
// failed one.
struct Measurement {
    std::string_view name;
    std::optional<ByteCount> size;
};
Measurement Measured(std::string_view name, ByteCount size);

}  // namespace sizewalk::history
