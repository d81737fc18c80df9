#include "platform/message_box.h"

namespace sizewalk {

void StreamMessageBox::Show(const std::string& text, MessageIcon, const std::string&) {
    Notice(text);
}

void StreamMessageBox::Notice(const std::string& line) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "sizewalk: ";
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto byte = static_cast<unsigned char>(line[i]);
        if (byte == '\r' || byte == '\n') {
            // "text\r\n\r\n(Message B76)" reads "text (Message B76)".
            while (i + 1 < line.size() && (line[i + 1] == '\r' || line[i + 1] == '\n')) {
                ++i;
            }
            out += ' ';
        } else if (byte < 0x20 || byte == 0x7F) {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += line[i];
        }
    }
    out += '\n';
    std::fwrite(out.data(), 1, out.size(), stream_);
    std::fflush(stream_);
}

}  // namespace sizewalk
