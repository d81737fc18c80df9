#include "common/text.h"

#include <algorithm>

namespace sizewalk {

std::size_t Utf8Length(std::string_view text, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = 0;
    // The second byte's range rules out overlong forms and surrogates.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (pos + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[pos + i]);
        if (byte < (i == 1 ? low : 0x80) || byte > (i == 1 ? high : 0xBF)) {
            return 0;
        }
    }
    return length;
}

std::size_t CharacterBytes(std::string_view text, std::size_t pos) {
    return std::max<std::size_t>(Utf8Length(text, pos), 1);
}

std::size_t CharacterCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); pos += CharacterBytes(text, pos)) {
        ++count;
    }
    return count;
}

bool IsControlCharacter(std::string_view character) {
    const auto byte = [&character](std::size_t i) {
        return static_cast<unsigned char>(character[i]);
    };
    switch (character.size()) {
        case 1:
            return byte(0) < 0x20 || byte(0) == 0x7F;
        case 2:
            return byte(0) == 0xC2 && byte(1) <= 0x9F;
        case 3:
            return byte(0) == 0xE2 &&
                   ((byte(1) == 0x80 && (byte(2) == 0x8E || byte(2) == 0x8F ||
                                         (byte(2) >= 0xAA && byte(2) <= 0xAE))) ||
                    (byte(1) == 0x81 && byte(2) >= 0xA6 && byte(2) <= 0xA9));
        default:
            return false;
    }
}

}  // namespace sizewalk
