#include "common/tracking_file/names.h"

#include "common/text.h"

namespace sizewalk {
namespace {

constexpr char kHex[] = "0123456789abcdef";

// The first characters that a formula guard goes before.
constexpr std::string_view kGuarded = "=+-@\t\r'";

void AppendHex(std::string& out, unsigned char byte) {
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0xF];
}

int HexDigit(char c) {
    const std::string_view digits(kHex, 16);
    const std::size_t at = digits.find(c);
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

// How EscapeText writes a character, or a byte that is not UTF-8.
enum class Form { kAsIs, kBackslash, kLetter, kHex };

// The form of what is at `pos`, and its `length` in bytes.
Form FormAt(std::string_view text, std::size_t pos, Escaping escaping, const Holds& holds,
            std::size_t& length) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    const std::size_t utf8 = Utf8Length(text, pos);
    length = utf8 == 0 ? 1 : utf8;
    if (byte == '\\') {
        return Form::kBackslash;
    }
    if (byte >= 0x80 && holds && !holds(text.substr(pos, length))) {
        return Form::kHex;
    }
    if (escaping == Escaping::kLacking) {
        return Form::kAsIs;
    }
    if (utf8 == 0) {
        return escaping == Escaping::kFile && byte >= 0xA0 ? Form::kAsIs : Form::kHex;
    }
    if (!IsControlCharacter(text.substr(pos, length))) {
        return Form::kAsIs;
    }
    return byte == '\t' || byte == '\n' || byte == '\r' ? Form::kLetter : Form::kHex;
}

}  // namespace

std::string EscapeText(std::string_view text, Escaping escaping, const Holds& holds) {
    std::string out;
    out.reserve(text.size());
    std::size_t length = 0;
    for (std::size_t i = 0; i < text.size(); i += length) {
        switch (FormAt(text, i, escaping, holds, length)) {
            case Form::kAsIs:
                out += text.substr(i, length);
                break;
            case Form::kBackslash: {
                // Doubled only where a reader would take it for an escape.
                out += '\\';
                std::size_t next = 0;
                if (i + 1 < text.size() &&
                    (std::string_view("tnrx").find(text[i + 1]) != std::string_view::npos ||
                     FormAt(text, i + 1, escaping, holds, next) != Form::kAsIs)) {
                    out += '\\';
                }
                break;
            }
            case Form::kLetter:
                out += '\\';
                out += text[i] == '\t' ? 't' : text[i] == '\n' ? 'n' : 'r';
                break;
            case Form::kHex:
                for (const char c : text.substr(i, length)) {
                    AppendHex(out, static_cast<unsigned char>(c));
                }
                break;
        }
    }
    return out;
}

std::string UnescapeText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        const int high = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
        const int low = i + 3 < text.size() ? HexDigit(text[i + 3]) : -1;
        if (text[i] != '\\') {
            out += text[i];
        } else if (next == '\\' || next == 't' || next == 'n' || next == 'r') {
            out += next == '\\' ? '\\' : next == 't' ? '\t' : next == 'n' ? '\n' : '\r';
            ++i;
        } else if (next == 'x' && high >= 0 && low >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 3;
        } else {
            out += '\\';
        }
    }
    return out;
}

std::string CsvField(std::string_view text) {
    const bool guarded = !text.empty() && kGuarded.find(text[0]) != std::string_view::npos;
    if (!guarded && text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string field = guarded ? "\"'" : "\"";
    for (const char c : text) {
        if (c == '"') {
            field += '"';
        }
        field += c;
    }
    field += '"';
    return field;
}

QuotedField UnquoteField(std::string_view field, std::string& text) {
    text.clear();
    for (std::size_t i = 1; i < field.size(); ++i) {
        if (field[i] != '"') {
            text += field[i];
        } else if (i + 1 < field.size() && field[i + 1] == '"') {
            text += '"';
            ++i;
        } else if (i + 1 < field.size()) {
            return QuotedField::kNotAField;
        } else {
            if (text.size() > 1 && text[0] == '\'' &&
                kGuarded.find(text[1]) != std::string_view::npos) {
                text.erase(0, 1);
            }
            return QuotedField::kClosed;
        }
    }
    return QuotedField::kOpen;
}

}  // namespace sizewalk
