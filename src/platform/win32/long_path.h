// Paths in the form that lifts the 260-character limit.
#pragma once

#include <string>

#include "platform/error.h"

namespace sizewalk::win32 {

// `path` (UTF-8; absolute, relative, drive-relative or UNC) made absolute
// and prefixed with \\?\ (\\?\UNC\ for a network path), which also stops
// Windows from altering the names in it. A path that already has the prefix
// is taken as it is.
Outcome<std::wstring> LongPath(const std::string& path);

// `name` under the directory `dir`, with one backslash between them.
std::wstring JoinPath(const std::wstring& dir, std::wstring_view name);

}  // namespace sizewalk::win32
