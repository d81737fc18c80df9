// The state shared between start-up, the tracking run and the window. Each
// lives for the whole process.
#pragma once

#include <cstdint>
#include <string>

namespace sizewalk {

// Product, version and copyright, as the window caption and file header show it.
inline std::string TitleLine;
// Product and copyright: the title of every message.
inline std::string MessageTitle;
// The program's arguments joined by blanks; empty for an interactive start.
inline std::string CommandText;
// The directory to process, ending with the path separator.
inline std::string TargetDir;
// The number of a TrackingStyle (common/tracking_file/layout.h): 1 appends
// to the running text file, 2 writes the day's, 3 appends CSV rows.
inline std::int16_t OutputStyle = 0;
// The parts of the last command line long enough to have them (3
// characters or more, on Windows 5: ParseCommandLine).
inline std::string StyleChar;
inline std::string PathParam;

}  // namespace sizewalk
