// errno as the program's runtime error numbers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace sizewalk::posix {

// The runtime's error number for `error_code` (errno).
std::int32_t RuntimeNumber(int error_code);

// The system's own description of `error_code` ("Read-only file system").
std::string SystemText(int error_code);

// The error for `error_code`, built by ErrorAt with `path`. Its text is the
// runtime's wording, or the system's where the runtime has only "Path/File
// access error" (Windows words it the other way round,
// platform/win32/errors.h).
Error SystemError(int error_code, std::string_view path);

}  // namespace sizewalk::posix
