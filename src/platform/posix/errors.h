// errno as the program's runtime error numbers.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/error.h"

namespace sizewalk {

std::int32_t RuntimeNumberForErrno(int error_code);

// The error for `error_code`, its description naming `path`.
Error ErrorFromErrno(int error_code, std::string_view path);

}  // namespace sizewalk
