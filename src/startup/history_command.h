// `sizewalk --history DIR/ [--format=F] [--bytes] [--sort=K]`: the growth
// report of a tracked directory. Recognised only as the first argument, so
// no tracking command line (which starts with its style digit) changes meaning.
#pragma once

#include <string>
#include <vector>

#include "platform/history_system.h"

namespace sizewalk {

// Whether the arguments ask for the report. Windows hands over the whole
// command text as one argument.
bool IsHistoryCommand(const std::vector<std::string>& arguments);

// Prints the report, or puts it in --output's file whole; returns the exit
// status: 0 (also when some tracking file could not be read: each is named
// on standard error), 1 when no history could be read or the report could
// not be written, 2 for an invalid command line. Messages go to standard
// error only: the report is for terminals and scripts.
int RunHistoryCommand(const std::vector<std::string>& arguments, HistorySystem& system,
                      Console& console);

// The lines --help gives the command.
std::string HistoryHelpText();

}  // namespace sizewalk
