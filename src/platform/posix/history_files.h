// The files the size history reads and writes on POSIX systems.
#pragma once

#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/history_system.h"

namespace sizewalk::posix {

Outcome<std::vector<ListedFile>> ListDirectory(const std::string& dir);

// A tracking file under a shared lock (flock, which the writer takes
// exclusively for its one write), read to its size at opening.
Outcome<std::unique_ptr<InputFile>> OpenLocked(const std::string& path,
                                               std::chrono::milliseconds wait);

Outcome<std::unique_ptr<ReplacementFile>> ReplaceFile(const std::string& path);

// The window's pages: files in PageDirectory() whose names start with
// kPagePrefix.
inline constexpr std::string_view kPagePrefix = "sizewalk-history-";
// $TMPDIR where it is an absolute path, else /tmp.
std::string PageDirectory();

// The window's pages (this user's regular files) last written before `now`
// less a day: the browser has long read them.
void RemoveOldHistoryPages(std::time_t now);

}  // namespace sizewalk::posix
