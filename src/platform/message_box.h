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
    // A line for standard error only (a scheduler's mail, the journal), never
    // a box: a detail of a message, or a failure the run wrote into its file.
    virtual void Notice(const std::string& line) { (void)line; }
};

// Writes each message to a C stream as one line, "sizewalk: <text>", the
// form Unix tools use; line breaks in the text become blanks.
class StreamMessageBox final : public MessageBoxService {
  public:
    explicit StreamMessageBox(std::FILE* stream) : stream_(stream) {}
    void Show(const std::string& text, MessageIcon icon, const std::string& title) override;
    void Notice(const std::string& line) override;

  private:
    std::FILE* stream_;
};

}  // namespace sizewalk
