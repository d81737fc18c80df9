#include "platform/message_box.h"

namespace sizewalk {

void StreamMessageBox::Show(const std::string& text, MessageIcon icon, const std::string& title) {
    std::string out = title;
    switch (icon) {
        case MessageIcon::kWarning:
            out += " [warning]";
            break;
        case MessageIcon::kInformation:
            out += " [information]";
            break;
        case MessageIcon::kNone:
            break;
    }
    out += '\n';
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        out += text[i];
    }
    out += '\n';
    std::fwrite(out.data(), 1, out.size(), stream_);
    std::fflush(stream_);
}

}  // namespace sizewalk
