#include "startup/module1.h"

#include <cstdio>
#include <exception>

#include "common/globals.h"
#include "common/identity.h"
#include "common/reports.h"
#include "common/steps.h"
#include "common/text.h"
#include "common/tracking_file/layout.h"
#include "platform/paths.h"
#include "startup/history_command.h"
#include "tracking/run_size_track.h"

namespace sizewalk {
namespace {

#ifdef _WIN32
// The shortest line names the shortest absolute path, "C:\".
constexpr std::size_t kShortestLine = 5;
constexpr const char* kForm = "sizewalk 2 D:\\Data\\";
#else
// Style, separator and "/", the root directory.
constexpr std::size_t kShortestLine = 3;
constexpr const char* kForm = "sizewalk 2 /srv/data/";
#endif

// What is wrong with command text T, or nothing; sets StyleChar and PathParam
// once T is long enough. The rules in this order: length, style, path.
std::string InvalidityOf(const std::string& text) {
    if (CharacterCount(text) < kShortestLine) {
        return "the command line is too short";
    }
    const std::size_t style_length = CharacterBytes(text, 0);
    const std::size_t path_start = style_length + CharacterBytes(text, style_length);
    StyleChar = text.substr(0, style_length);
    PathParam = text.substr(path_start);
    if (StyleChar.size() != 1 || StyleChar[0] < '0' || StyleChar[0] > '9') {
        return "no style digit at the start";
    }
    if (!StyleNumbered(StyleChar[0] - '0')) {
        return "the style must be 1, 2 or 3, not " + StyleChar;
    }
    if (PathParam.back() != kPathSeparator) {
        return std::string("the directory must end with '") + kPathSeparator + "'";
    }
    return {};
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
#ifdef _WIN32
    out +=
        "\n\nExit status (Task Scheduler's Last Run Result shows it as 0x0 to 0x3):\n"
        "  0  the tracking file was written\n"
        "  1  a failure ended the run; the tracking file is as it was before\n"
        "  2  invalid command line\n"
        "  3  the tracking file was written, but some subdirectories could not be\n"
        "     measured (each is written with size 0 and the reason)\n"
        "\nsizewalk.com, which cmd and PowerShell run for \"sizewalk\", waits for the run\n"
        "and sets %ERRORLEVEL% ($LASTEXITCODE). sizewalk.exe is for Task Scheduler and\n"
        "Explorer: with arguments it opens no window. A nightly task for D:\\Data\\:\n"
        "  Program/script: \"C:\\Program Files\\Sizewalk\\sizewalk.exe\"\n"
        "  Add arguments:  2 D:\\Data\\\n"
        "\nMessages go to standard error, one line each; unless that is a console\n"
        "window also to a message box, except with SIZEWALK_MESSAGES=stderr and in a\n"
        "task that runs whether the user is logged on or not.\n";
#else
    out +=
        "\n\nExit status:\n"
        "  0      the tracking file was written\n"
        "  1      a failure ended the run; the tracking file is as it was before,\n"
        "         unless the message says it could not be restored\n"
        "  2      invalid command line\n"
        "  3      the tracking file was written, but some subdirectories could not be\n"
        "         measured (each is written with size 0 and the reason)\n"
        "  128+n  signal n (SIGINT, SIGTERM, SIGHUP) stopped the run; the tracking file\n"
        "         is as it was before\n"
        "\nMessages go to standard error, one line each; with a display and standard\n"
        "error not a terminal also to a message box, unless SIZEWALK_MESSAGES=stderr.\n";
#endif
    out +=
        "Style 3 writes a name that begins with = + - @ tab, CR or ' as \"'name\", so\n"
        "that a spreadsheet shows it as text. The text reports and standard error\n"
        "escape names: \\t \\n \\r, \\xHH for other control bytes, \\\\ for a backslash\n"
        "before t, n, r, x or another escape (C:\\Data\\ stays as it is).\n";
#ifdef _WIN32
    out +=
        "The files are in the ANSI code page: a character it lacks is written as the\n"
        "\\xHH escapes of its UTF-8 bytes, in every style.\n";
#endif
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
    std::string invalidity;
    if (RunReported(messages, kCommandLine, [&] { invalidity = InvalidityOf(text); })) {
        invalidity = "unreadable";
    }
    if (invalidity.empty()) {
        return true;
    }
    // One warning covers every rule; standard error also says which failed.
    messages.Show(std::string(kInvalidParametersText), MessageIcon::kWarning, MessageTitle);
    messages.Notice(invalidity + ": " + kForm);
    return false;
}

namespace {

// Main's steps; returns the exit status.
int Start(const std::vector<std::string>& arguments, const Platform& platform,
          const WindowStart& window) {
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
    OutputStyle = StyleNumber(*StyleNumbered(StyleChar[0] - '0'));
    TargetDir = PathParam;
    switch (RunSizeTrack(platform)) {
        case RunOutcome::kCompleted:
            return kExitSuccess;
        case RunOutcome::kCompletedWithProblems:
            return kExitIncomplete;
        case RunOutcome::kFatal:
            break;
    }
    const int signal = platform.stop != nullptr ? platform.stop->load() : 0;
    return signal != 0 ? kExitSignalBase + signal : kExitFatal;
}

}  // namespace

int Main(const std::vector<std::string>& arguments, const Platform& platform,
         const WindowStart& window) {
    int status = kExitFatal;
    RunReported(platform.messages, kStartUp, [&] { status = Start(arguments, platform, window); });
    return status;
}

}  // namespace sizewalk
