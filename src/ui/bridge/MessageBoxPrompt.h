#pragma once

#include <functional>

#include "base/UserPrompt.h"

class QWidget;

namespace kv::ui {

// What the program says to the user, as message boxes over the main window and the desktop's beep.
class MessageBoxPrompt final : public IUserPrompt {
public:
    // parent gives the owner window at the moment a box is shown (it may not exist yet when the
    // prompt is made).
    explicit MessageBoxPrompt(std::function<QWidget*()> parent) : parent_(std::move(parent)) {}

    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& question) override;
    void Beep() override;

private:
    std::function<QWidget*()> parent_;
};

}  // namespace kv::ui
