#include "platform/clock_locale.h"

namespace sizewalk {
namespace {

bool IsField(char conversion, FormatFields fields) {
    const std::string_view letters = fields == FormatFields::kDate ? "dembBhYyCGg" : "HIklMS";
    return letters.find(conversion) != std::string_view::npos;
}

// What stands for a conversion that is no field of interest (a weekday, the
// time zone) between two fields: no separator can contain it.
constexpr char kOtherConversion = '\0';

// Collects into `between` the texts between successive fields of `format`;
// `pending` holds the text since the last field (`seen` tells whether there
// was one).
void Scan(std::string_view format, FormatFields fields, std::vector<std::string>& between,
          std::string& pending, bool& seen) {
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            pending += format[i];
            continue;
        }
        // Flags, a width and the E or O modifier come before the conversion.
        ++i;
        while (i < format.size() &&
               std::string_view("_-0^#EO123456789").find(format[i]) != std::string_view::npos) {
            ++i;
        }
        const char conversion = i < format.size() ? format[i] : kOtherConversion;
        switch (conversion) {
            case '%':
                pending += '%';
                continue;
            case 'n':
                pending += '\n';
                continue;
            case 't':
                pending += '\t';
                continue;
            case 'D':
                Scan("%m/%d/%y", fields, between, pending, seen);
                continue;
            case 'F':
                Scan("%Y-%m-%d", fields, between, pending, seen);
                continue;
            case 'T':
                Scan("%H:%M:%S", fields, between, pending, seen);
                continue;
            case 'R':
                Scan("%H:%M", fields, between, pending, seen);
                continue;
            case 'r':
                Scan("%I:%M:%S %p", fields, between, pending, seen);
                continue;
            default:
                break;
        }
        if (!IsField(conversion, fields)) {
            pending += kOtherConversion;
            continue;
        }
        if (seen) {
            between.push_back(pending);
        }
        seen = true;
        pending.clear();
    }
}

}  // namespace

std::string SeparatorOfFormat(std::string_view format, FormatFields fields) {
    std::vector<std::string> between;
    std::string pending;
    bool seen = false;
    Scan(format, fields, between, pending, seen);
    return CommonSeparator(between, fields);
}

std::string CommonSeparator(const std::vector<std::string>& between, FormatFields fields) {
    const auto usable = [](const std::string& text) {
        const char c = text.size() == 1 ? text[0] : '\0';
        return c > ' ' && c < 0x7F && c != ',' && c != '"' && !(c >= '0' && c <= '9') &&
               !(c >= 'A' && c <= 'Z') && !(c >= 'a' && c <= 'z');
    };
    if (!between.empty() && usable(between[0])) {
        bool same = true;
        for (const std::string& text : between) {
            same = same && text == between[0];
        }
        if (same) {
            return between[0];
        }
    }
    return fields == FormatFields::kDate ? "/" : ":";
}

}  // namespace sizewalk
