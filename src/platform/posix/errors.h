// errno as the program's runtime error numbers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace sizewalk {

std::int32_t RuntimeNumberForErrno(int error_code);

// The system's own description of `error_code` ("Read-only file system").
std::string SystemText(int error_code);

// The error for `error_code`, its description naming `path`: the runtime's
// wording, or the system's where the runtime has only "Path/File access
// error".
Error ErrorFromErrno(int error_code, std::string_view path);

}  // namespace sizewalk
