#include "startup/module1.h"

#include <cstdio>
#include <exception>

#include "common/globals.h"
#include "common/identity.h"
#include "common/reports.h"
#include "platform/paths.h"
#include "startup/history_command.h"
#include "tracking/run_size_track.h"

namespace sizewalk {
namespace {

// The byte length of the character at `pos`: a UTF-8 sequence when it is
// one, otherwise a single byte (names are untrusted bytes).
std::size_t CharacterLength(const std::string& text, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    }
    if (pos + length > text.size()) {
        return 1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[pos + i]) & 0xC0) != 0x80) {
            return 1;
        }
    }
    return length;
}

std::size_t CharacterCount(const std::string& text) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); pos += CharacterLength(text, pos)) {
        ++count;
    }
    return count;
}

}  // namespace

void PrintHelp(std::FILE* stream) {
    std::string text = HelpText();
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            out += text[i];
        }
    }
    out += "\n\n" + HistoryHelpText();
    out +=
        "\n\nExit status:\n"
        "  0  the tracking file was written\n"
        "  1  a failure ended the run\n"
        "  2  invalid command line\n";
    std::fwrite(out.data(), 1, out.size(), stream);
}

std::string CommandTextFromArguments(const std::vector<std::string>& arguments) {
    std::string text;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) {
            text += ' ';
        }
        text += arguments[i];
    }
    return text;
}

bool ParseCommandLine(const std::string& text, MessageBoxService& messages) {
    bool valid = false;
    try {
        if (CharacterCount(text) >= 5) {
            const std::size_t style_length = CharacterLength(text, 0);
            const std::size_t path_start = style_length + CharacterLength(text, style_length);
            StyleChar = text.substr(0, style_length);
            PathParam = text.substr(path_start);
            // The style is tested first; one warning covers both rules.
            valid = (StyleChar == "1" || StyleChar == "2" || StyleChar == "3") &&
                    PathParam.back() == kPathSeparator;
        }
    } catch (const std::exception& exception) {
        ShowErrorReport(messages, ErrorFromException(exception), 'C');
        valid = false;
    }
    if (!valid) {
        messages.Show(std::string(kInvalidParametersText), MessageIcon::kWarning, MessageTitle);
    }
    return valid;
}

int Main(const std::vector<std::string>& arguments, const Platform& platform,
         const WindowStart& window) {
    try {
        const Identity& identity = BuiltInIdentity();
        TitleLine = ComposeTitleLine(identity);
        MessageTitle = ComposeMessageTitle(identity);
        CommandText = CommandTextFromArguments(arguments);
        if (CommandText.empty()) {
            if (window) {
                return window();
            }
            PrintHelp(stderr);
            return kExitInvalidCommandLine;
        }
        // No valid command text begins with "-", so these two take nothing from it.
        if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "--version")) {
            if (arguments[0] == "--help") {
                PrintHelp(stdout);
            } else {
                std::printf("%s\n", TitleLine.c_str());
            }
            return kExitSuccess;
        }
        if (!ParseCommandLine(CommandText, platform.messages)) {
            return kExitInvalidCommandLine;
        }
        OutputStyle = static_cast<std::int16_t>(StyleChar[0] - '0');
        TargetDir = PathParam;
        return RunSizeTrack(platform) == RunOutcome::kCompleted ? kExitSuccess : kExitFatal;
    } catch (const std::exception& exception) {
        ShowErrorReport(platform.messages, ErrorFromException(exception), 'A');
        return kExitFatal;
    }
}

}  // namespace sizewalk
