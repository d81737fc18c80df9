// Messages for the user: a modal box where there is a desktop, standard
// error where there is not.
#pragma once

#include <cstdio>
#include <string>

namespace sizewalk {

enum class MessageIcon { kNone, kWarning, kInformation };

class MessageBoxService {
  public:
    virtual ~MessageBoxService() = default;
    // Returns when the user has confirmed the message (at once for a stream).
    virtual void Show(const std::string& text, MessageIcon icon, const std::string& title) = 0;
};

// Writes each message to a C stream, with the title and kind in front and
// CR LF turned into the platform's line end.
class StreamMessageBox final : public MessageBoxService {
  public:
    explicit StreamMessageBox(std::FILE* stream) : stream_(stream) {}
    void Show(const std::string& text, MessageIcon icon, const std::string& title) override;

  private:
    std::FILE* stream_;
};

}  // namespace sizewalk
