// Windows error codes (GetLastError) as the program's runtime error numbers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace sizewalk::win32 {

std::int32_t RuntimeNumberForWin32(unsigned long code);

// The system's own description of `code` (FormatMessage), without the
// closing full stop and line end; empty when the system has none.
std::string SystemMessage(unsigned long code);

// The error for `code`: the system's description, ": " and `path` when one
// is given; the runtime's wording where the system has none.
Error ErrorFromWin32(unsigned long code, std::string_view path);

}  // namespace sizewalk::win32
