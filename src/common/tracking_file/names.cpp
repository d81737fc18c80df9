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

}  // namespace

std::string EscapeText(std::string_view text, Escaping escaping) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::size_t length = Utf8Length(text, i);
        if (length == 0) {
            if (escaping == Escaping::kFile && byte >= 0xA0) {
                out += text[i];
            } else {
                AppendHex(out, byte);
            }
            ++i;
            continue;
        }
        const std::string_view character = text.substr(i, length);
        i += length;
        if (byte == '\\') {
            out += "\\\\";
        } else if (!IsControlCharacter(character)) {
            out += character;
        } else if (byte == '\t') {
            out += "\\t";
        } else if (byte == '\n') {
            out += "\\n";
        } else if (byte == '\r') {
            out += "\\r";
        } else {
            for (const char c : character) {
                AppendHex(out, static_cast<unsigned char>(c));
            }
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
