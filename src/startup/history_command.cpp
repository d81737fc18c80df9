#include "startup/history_command.h"

#include <optional>

#include "common/reports.h"
#include "history/history.h"
#include "history/text.h"
#include "platform/paths.h"

namespace sizewalk {
namespace {

constexpr std::string_view kCommand = "--history";
constexpr std::string_view kOutputOption = "--output=";
constexpr std::string_view kFormatOption = "--format=";
constexpr std::string_view kUsage =
    "usage: sizewalk --history DIR/ [--format=table|csv|json|openmetrics|html] [--bytes] "
    "[--sort=change|size|name] [--output=FILE]";

// The words of one command text: split at blanks, a double-quoted part kept
// together (without its quotes).
std::vector<std::string> Words(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    bool any = false;
    for (const char c : text) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (any) {
                words.push_back(word);
            }
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (any) {
        words.push_back(word);
    }
    return words;
}

struct Request {
    std::string directory;
    std::optional<history::Format> format;
    history::ReportOptions options;
    std::string output;  // a file instead of standard output
};

// The request, or what is wrong with the command line.
std::optional<Request> Parse(const std::vector<std::string>& arguments, std::string& problem) {
    const std::vector<std::string> words = arguments.size() == 1 ? Words(arguments[0]) : arguments;
    Request request;
    std::vector<std::string> directory;
    bool options_end = false;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (options_end || !word.starts_with("--")) {
            directory.push_back(word);
        } else if (word == "--") {
            options_end = true;
        } else if (word.starts_with(kOutputOption) && word.size() > kOutputOption.size()) {
            request.output = word.substr(kOutputOption.size());
        } else if (word == "--bytes") {
            request.options.exact_bytes = true;
        } else if (word.starts_with(kFormatOption)) {
            static const std::pair<std::string_view, history::Format> kFormats[] = {
                {"table", history::Format::kTable},
                {"csv", history::Format::kCsv},
                {"json", history::Format::kJson},
                {"openmetrics", history::Format::kOpenMetrics},
                {"html", history::Format::kHtml}};
            request.format.reset();
            for (const auto& [name, format] : kFormats) {
                if (word.substr(kFormatOption.size()) == name) {
                    request.format = format;
                }
            }
            if (!request.format) {
                problem = "unknown format: " + word;
                return std::nullopt;
            }
        } else if (word == "--sort=change" || word == "--sort=size" || word == "--sort=name") {
            request.options.sort = word == "--sort=change" ? history::SortKey::kChange
                                   : word == "--sort=size" ? history::SortKey::kSize
                                                           : history::SortKey::kName;
        } else {
            problem = "unknown option: " + word;
            return std::nullopt;
        }
    }
    // A blank inside the directory needs no quotes, as for a tracking run.
    for (const std::string& part : directory) {
        request.directory += (request.directory.empty() ? "" : " ") + part;
    }
    if (request.directory.empty()) {
        problem = "the directory is missing";
        return std::nullopt;
    }
    return request;
}

}  // namespace

bool IsHistoryCommand(const std::vector<std::string>& arguments) {
    if (arguments.empty() || !arguments[0].starts_with(kCommand)) {
        return false;
    }
    // "--history", "--history=..." (answered with a hint), or the whole
    // command in one argument.
    const std::string_view after = std::string_view(arguments[0]).substr(kCommand.size());
    return after.empty() || after[0] == '=' ||
           (arguments.size() == 1 && (after[0] == ' ' || after[0] == '\t'));
}

int RunHistoryCommand(const std::vector<std::string>& arguments, HistorySystem& system,
                      Console& console) {
    if (const std::string_view after = std::string_view(arguments[0]).substr(kCommand.size());
        after.starts_with('=')) {
        console.WriteError(
            "sizewalk: the directory follows --history after a blank: sizewalk "
            "--history " +
            history::Shown(after.substr(1)));
        console.WriteError(kUsage);
        return kExitInvalidCommandLine;
    }
    std::string problem;
    std::optional<Request> request = Parse(arguments, problem);
    if (!request) {
        console.WriteError("sizewalk: " + problem);
        console.WriteError(kUsage);
        return kExitInvalidCommandLine;
    }
    const std::string dir = history::WithSeparator(request->directory);
    const Outcome<history::History> loaded = history::LoadHistory(dir, system);
    if (!loaded.ok()) {
        console.WriteError("sizewalk: " + loaded.error().description);
        return kExitFatal;
    }
    const history::History& h = loaded.value();
    for (const std::string& note : history::FileNotes(h)) {
        console.WriteError("sizewalk: " + history::Shown(dir) + note);
    }
    if (h.runs.empty()) {
        console.WriteError("sizewalk: No size history in " + history::Shown(dir) +
                           " yet: no Sizewalk.csv, Sizewalk.txt or Sizewalk_yyyyMMdd.txt "
                           "with a run in it could be read.");
        return kExitFatal;
    }
    history::ReportOptions& options = request->options;
    const bool to_console = request->output.empty();
    options.format = request->format.value_or(
        to_console && console.OutputIsTerminal() ? history::Format::kTable : history::Format::kCsv);
    options.utf8 = !to_console || console.OutputIsUtf8();
    options.last_run_epoch = history::LastRunEpoch(h, system);
    std::unique_ptr<ReplacementFile> file;
    if (!to_console) {
        Outcome<std::unique_ptr<ReplacementFile>> opened = system.Replace(request->output);
        if (!opened.ok()) {
            console.WriteError("sizewalk: " + opened.error().description);
            return kExitFatal;
        }
        file = std::move(opened.value());
    }
    Status written;
    history::Report(dir, h, options, system, [&](std::string_view text) {
        if (!written) {
            written = file ? file->Write(text) : console.Write(text);
        }
    });
    if (!written && file) {
        written = file->Commit();
    }
    if (written) {
        console.WriteError("sizewalk: " + written->description);
        return kExitFatal;
    }
    return kExitSuccess;
}

std::string HistoryHelpText() {
#ifdef _WIN32
    const char* const described = "the README";
#else
    const char* const described = "man sizewalk";
#endif
    return std::string("Size history:\n  sizewalk --history DIR") + kPathSeparator +
           " [--format=table|csv|json|openmetrics|html] [--bytes]\n"
           "                          [--sort=change|size|name] [--output=FILE]\n"
           "Reads the tracking files in DIR (writing nothing there) and shows each\n"
           "subdirectory's latest size and its change since the previous run, over 7\n"
           "and over 30 days, and when the disk that holds DIR is full at the growth\n"
           "of the last 30 days. A table on a terminal, CSV otherwise; --bytes shows\n"
           "exact bytes; --output=FILE replaces FILE once the report is complete. Exit\n"
           "status 0 (a file that could not be read is named on standard error), 1 when\n"
           "no history could be read, 2 for an invalid command line. The JSON fields (" +
           described +
           " tells\nwhat each means):\n"
           "  directory, first_run, last_run, runs, files [name, runs, skipped_lines],\n"
           "  filesystem_free_bytes, growth_per_day, full_in_days, full_on,\n"
           "  drivers [name, share], left_out, forecast,\n"
           "  subdirectories [name, latest_bytes, latest_date, measured,\n"
           "  change_previous_run, change_7_days, change_30_days, growth_per_day_30_days,\n"
           "  new_since, gone_since, growth_per_day_fit,\n"
           "  series [[date, bytes or null], ...]]";
}

}  // namespace sizewalk
