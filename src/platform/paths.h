// The platform's path conventions.
#pragma once

namespace sizewalk {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

}  // namespace sizewalk
