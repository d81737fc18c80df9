// Opening a finished tracking file for the user to read.
#pragma once

#include <string>

#include "platform/error.h"

namespace sizewalk {

class TextEditor {
  public:
    virtual ~TextEditor() = default;
    // Starts the editor on `path` and returns without waiting for it.
    virtual Status Open(const std::string& path) = 0;
};

}  // namespace sizewalk
