// The size history of one directory: every tracking file in it, read and
// reported. Nothing is ever written into the directory.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "history/model.h"
#include "history/report.h"
#include "platform/history_system.h"

namespace sizewalk::history {

// `dir` ending with the path separator (either separator on Windows).
std::string WithSeparator(std::string dir);

// Reads every tracking file of `dir` (ending with the separator) in name
// order. A file that cannot be read, or that belongs to someone who should
// not write the report, is left out, and its summary says why (FileNotes).
// No files, or files without a single run, give a history without runs.
// Fails only when `dir` cannot be listed.
Outcome<History> LoadHistory(const std::string& dir, HistorySystem& system);

// "No size history in /srv/data/ yet. Press Go to record the first one."
std::string NoHistoryText(std::string_view dir);

// When the last run was, in seconds since the epoch.
std::int64_t LastRunEpoch(const History& history, HistorySystem& system);

// Writes the report of `history` (with runs) in `options`' format to
// `sink`, with the forecast for the file system that holds `dir` now.
void Report(std::string_view dir, const History& history, const ReportOptions& options,
            HistorySystem& system, const Output::Sink& sink);

// For the window's History link: the HTML report of `dir` in a new
// temporary file and its path; nothing when `dir` has no size history yet.
Outcome<std::optional<std::string>> WriteHistoryPage(const std::string& dir, HistorySystem& system);

}  // namespace sizewalk::history
