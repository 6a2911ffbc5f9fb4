#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "base/CommandTarget.h"
#include "base/UserPrompt.h"

namespace kv::test {

// Records the commands posted to it, from any thread.
class RecordingCommandTarget final : public ICommandTarget {
public:
    void PostCommand(int id) override {
        std::lock_guard lock(mutex_);
        commands_.push_back(id);
    }
    std::vector<int> commands() const {
        std::lock_guard lock(mutex_);
        return commands_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<int> commands_;
};

// Records what the program says and answers questions with a fixed answer.
class RecordingUserPrompt final : public IUserPrompt {
public:
    explicit RecordingUserPrompt(bool answer = true) : answer_(answer) {}
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    bool AskYesNo(const std::string& question) override {
        questions.push_back(question);
        return answer_;
    }
    void Beep() override { ++beeps; }
    void SetAnswer(bool answer) { answer_ = answer; }

    std::vector<std::string> messages;
    std::vector<std::string> questions;
    int beeps = 0;

private:
    bool answer_;
};

}  // namespace kv::test
