// Start-up: the identity, the command line and the choice of mode.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace sizewalk {

inline constexpr std::string_view kInvalidParametersText = "Invalid parameters in command line!";

// The arguments after the program name, joined by single blanks.
std::string CommandTextFromArguments(const std::vector<std::string>& arguments);

// Validates a command text of the form "<style digit><any character><path>/"
// of at least 3 characters (5 on Windows, where the shortest path is "C:\");
// sets StyleChar and PathParam. Warns and returns false for an invalid one,
// and notices which rule failed.
bool ParseCommandLine(const std::string& text, MessageBoxService& messages);

// Prints the Help text with plain line ends, then what the exit statuses mean.
void PrintHelp(std::FILE* stream);

// Opens the window and runs it to its end; returns the exit status.
using WindowStart = std::function<int()>;

// The program: composes the identity, reads the command text and runs once
// unattended, or opens the window when there is no command text. Without a
// window (an empty `window`) an empty command text prints the help text.
// Returns the process exit status.
int Main(const std::vector<std::string>& arguments, const Platform& platform,
         const WindowStart& window);

}  // namespace sizewalk
