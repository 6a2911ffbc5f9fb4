#pragma once

#include <string>

namespace kv {

// What the program says to the user. The window shows message boxes, kvscale writes to stderr and
// answers questions with a fixed choice, and tests record what was said.
class IUserPrompt {
public:
    virtual void ShowMessage(const std::string& text) = 0;
    // A yes/no question; true means yes.
    virtual bool AskYesNo(const std::string& question) = 0;
    // The exclamation beep.
    virtual void Beep() = 0;

protected:
    ~IUserPrompt() = default;
};

}  // namespace kv
