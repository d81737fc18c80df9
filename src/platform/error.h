// Failures as the rest of the program sees them: a runtime error number and a
// description, whatever the operating system called them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace sizewalk {

namespace errnum {
inline constexpr std::int32_t kInvalidArgument = 5;
inline constexpr std::int32_t kOutOfMemory = 7;
inline constexpr std::int32_t kInterrupted = 18;
inline constexpr std::int32_t kInternal = 51;
inline constexpr std::int32_t kDeviceIo = 57;
inline constexpr std::int32_t kDiskFull = 61;
inline constexpr std::int32_t kDeviceUnavailable = 68;
inline constexpr std::int32_t kPermissionDenied = 70;
inline constexpr std::int32_t kPathFileAccess = 75;
inline constexpr std::int32_t kPathNotFound = 76;
}  // namespace errnum

struct Error {
    std::int32_t number = 0;
    std::string description;

    bool operator==(const Error&) const = default;
};

// The runtime's own wording for the numbers above ("Path not found", ...).
std::string RuntimeErrorText(std::int32_t number);

// Every failure that names a path reads alike on each system: `text`, then
// ": " and the path as ShownPath shows it, when one is given.
Error ErrorAt(std::int32_t number, std::string text, std::string_view path);

// ErrorAt with the runtime's text for `number`.
Error MakeError(std::int32_t number, std::string_view path = {});

// The longest path a message shows, in bytes: a path can be thousands of
// levels deep, and a message is one line of a log or of a tracking file.
inline constexpr std::size_t kMaxShownPath = 256;

// `path` as a message shows it: a longer path than kMaxShownPath shortened
// to its first component, "...", and as many of its last components as fit
// (the end of the last one alone where even that is too long); in single
// quotes when it begins or ends with a blank, which would otherwise not be
// seen. Control characters are left for where the message is written.
std::string ShownPath(std::string_view path);

// The failure of a run that the signal `signal` asked to stop.
Error Interrupted(int signal);

// `program`, started to show `target`, did not start, for `reason` (the
// system's words; may be empty).
Error StartFailure(std::int32_t number, std::string_view program, std::string_view target,
                   std::string_view reason);

// A value or the failure that prevented it.
template <typename T>
class Outcome {
  public:
    Outcome(T value) : value_(std::move(value)) {}      // NOLINT(google-explicit-constructor)
    Outcome(Error error) : error_(std::move(error)) {}  // NOLINT(google-explicit-constructor)

    bool ok() const { return !error_.has_value(); }
    const T& value() const { return value_; }
    T& value() { return value_; }
    const Error& error() const { return *error_; }

  private:
    T value_{};
    std::optional<Error> error_;
};

// An operation that yields nothing but may fail.
using Status = std::optional<Error>;

}  // namespace sizewalk
