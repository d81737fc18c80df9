#include "platform/win32/text.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "platform/clock_locale.h"

namespace sizewalk::win32 {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

void AppendUtf16(std::u16string& out, char32_t code) {
    if (code < 0x10000) {
        out += static_cast<char16_t>(code);
    } else {
        code -= 0x10000;
        out += static_cast<char16_t>(0xD800 | (code >> 10));
        out += static_cast<char16_t>(0xDC00 | (code & 0x3FF));
    }
}

// Decodes one sequence at `pos`; returns its length, 0 when it is not valid.
// Encoded surrogates are accepted, since Utf16ToUtf8 writes lone ones so.
std::size_t DecodeUtf8(std::string_view text, std::size_t pos, char32_t& code) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = 0;
    char32_t min = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
        min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (pos + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[pos + i]);
        if ((byte & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte & 0x3F);
    }
    return code >= min && code <= 0x10FFFF ? length : 0;
}

bool IsUtf8(std::string_view text) {
    char32_t code = 0;
    for (std::size_t pos = 0, length = 0; pos < text.size(); pos += length) {
        length = DecodeUtf8(text, pos, code);
        if (length == 0) {
            return false;
        }
    }
    return true;
}

// The texts between successive fields of a format picture ("dd.MM.yyyy",
// "tt h:mm:ss"): a field is a run of one of `field_letters`; `other_letters`
// (an era, a weekday, the AM/PM marker) stand for no field, and no separator
// can contain them; '...' quotes text, '' is one quote.
std::vector<std::string> TextsBetweenFields(std::string_view format, std::string_view field_letters,
                                            std::string_view other_letters) {
    std::vector<std::string> between;
    std::string pending;
    bool seen = false;
    bool quoted = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c == '\'') {
            if (i + 1 < format.size() && format[i + 1] == '\'') {
                pending += '\'';
                ++i;
            } else {
                quoted = !quoted;
            }
            continue;
        }
        std::size_t run = 1;
        while (i + run < format.size() && format[i + run] == c) {
            ++run;
        }
        // "ddd" and "dddd" are the weekday's name, not the day.
        const bool field =
            !quoted && field_letters.find(c) != std::string_view::npos && !(c == 'd' && run > 2);
        if (quoted || (!field && other_letters.find(c) == std::string_view::npos)) {
            pending += c;
            continue;
        }
        i += run - 1;
        if (!field) {
            pending += '\0';
            continue;
        }
        if (seen) {
            between.push_back(pending);
        }
        seen = true;
        pending.clear();
    }
    return between;
}

}  // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (IsHighSurrogate(code) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        AppendUtf8(out, code);
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        char32_t code = 0;
        const std::size_t length = DecodeUtf8(text, pos, code);
        if (length == 0) {
            out += static_cast<char16_t>(kReplacement);
            ++pos;
            continue;
        }
        AppendUtf16(out, code);
        pos += length;
    }
    return out;
}

std::u16string_view CommandTextOf(std::u16string_view command_line) {
    std::size_t i = 0;
    if (!command_line.empty() && command_line[0] == u'"') {
        // A quoted path ends at its closing quote.
        i = command_line.find(u'"', 1);
        i = i == std::u16string_view::npos ? command_line.size() : i + 1;
    } else {
        // Otherwise at the first blank outside quotes, as the C runtime reads
        // it (C:\Tools\x.exe, or C:\"Program Files"\x.exe).
        bool quoted = false;
        for (; i < command_line.size(); ++i) {
            const char16_t c = command_line[i];
            if (c == u'"') {
                quoted = !quoted;
            } else if (!quoted && (c == u' ' || c == u'\t')) {
                break;
            }
        }
    }
    while (i < command_line.size() && (command_line[i] == u' ' || command_line[i] == u'\t')) {
        ++i;
    }
    return command_line.substr(i);
}

std::string GroupingOf(std::string_view windows_grouping) {
    std::string sizes;
    int value = -1;
    for (const char c : windows_grouping) {
        if (c >= '0' && c <= '9') {
            value = (value < 0 ? 0 : value * 10) + (c - '0');
            if (value > 9) {
                return "\3";  // not a grouping Windows gives
            }
        } else if (c == ';' && value >= 0) {
            sizes += static_cast<char>(value);
            value = -1;
        } else {
            return "\3";
        }
    }
    if (value >= 0) {
        sizes += static_cast<char>(value);
    }
    const std::string no_more(1, static_cast<char>(CHAR_MAX));
    if (sizes.empty() || sizes[0] == 0) {
        return no_more;  // no grouping at all
    }
    // A closing 0 repeats the group before it; without one, the groups stop.
    if (sizes.back() == 0) {
        sizes.pop_back();
        return sizes;
    }
    return sizes + no_more;
}

std::string DateSeparatorOf(std::string_view date_format) {
    return CommonSeparator(TextsBetweenFields(date_format, "dMy", "dg"), FormatFields::kDate);
}

std::string TimeSeparatorOf(std::string_view time_format) {
    return CommonSeparator(TextsBetweenFields(time_format, "hHms", "t"), FormatFields::kTime);
}

Outcome<std::size_t> Utf8Lines::Read(char* buffer, std::size_t size) {
    // No line of a tracking file is this long: one is handed on unconverted,
    // in parts, for the reader to skip.
    constexpr std::size_t kLongest = std::size_t{1} << 20;
    while (handed_ == ready_.size() && !ended_) {
        ready_.clear();
        handed_ = 0;
        const std::size_t kept = raw_.size();
        raw_.resize(kept + block_);
        const Outcome<std::size_t> got = file_->Read(raw_.data() + kept, block_);
        raw_.resize(kept + (got.ok() ? got.value() : 0));
        if (!got.ok()) {
            return got.error();
        }
        ended_ = got.value() == 0;
        std::size_t end = raw_.rfind('\n');
        end = ended_ ? raw_.size() : end == std::string::npos ? 0 : end + 1;
        if (end == 0 && raw_.size() >= kLongest) {
            ready_ = std::move(raw_);
            raw_.clear();
            continue;
        }
        for (std::size_t pos = 0; pos < end;) {
            const std::size_t lf = raw_.find('\n', pos);
            const std::size_t stop = std::min(lf == std::string::npos ? end : lf + 1, end);
            const std::string_view line(raw_.data() + pos, stop - pos);
            if (IsUtf8(line)) {
                ready_ += line;
            } else {
                ready_ += to_utf8_(line);
            }
            pos = stop;
        }
        raw_.erase(0, end);
    }
    const std::size_t n = std::min(size, ready_.size() - handed_);
    std::memcpy(buffer, ready_.data() + handed_, n);
    handed_ += n;
    return n;
}

}  // namespace sizewalk::win32
