// Windows error codes (GetLastError) as the program's runtime error numbers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace sizewalk::win32 {

// The runtime's error number for `code` (GetLastError).
std::int32_t RuntimeNumber(unsigned long code);

// The system's own description of `code` (FormatMessage), without the
// closing full stop and line end; empty when the system has none.
std::string SystemText(unsigned long code);

// The error for `code`, built by ErrorAt with `path`. Its text is the
// system's description, in the user's language, or the runtime's wording
// where the system has none (POSIX words it the other way round,
// platform/posix/errors.h).
Error SystemError(unsigned long code, std::string_view path);

}  // namespace sizewalk::win32
