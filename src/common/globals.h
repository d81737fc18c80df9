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
// 1: append to the running text file, 2: the day's text file, 3: CSV rows.
inline std::int16_t OutputStyle = 0;
// The parts of the last command line of five characters or more.
inline std::string StyleChar;
inline std::string PathParam;

}  // namespace sizewalk
