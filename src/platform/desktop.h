// What the window asks of the desktop besides files: the system beep and the
// opener that shows an address or a file in the user's application for it.
#pragma once

#include <string>

#include "platform/error.h"

namespace sizewalk {

class Beeper {
  public:
    virtual ~Beeper() = default;
    virtual void Beep() = 0;
};

class UrlOpener {
  public:
    virtual ~UrlOpener() = default;
    // Starts the desktop's handler for `url` and returns without waiting.
    virtual Status OpenUrl(const std::string& url) = 0;
    // The same for a local file by its path: the user's application for its
    // kind (for a page, the browser).
    virtual Status OpenFile(const std::string& path) = 0;
};

}  // namespace sizewalk
