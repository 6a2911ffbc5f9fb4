#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/UserPrompt.h"
#include "engine/Progress.h"

namespace kv::cli {

// Exit statuses of kvscale.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoThumbnail = 3;

// A usage error: the message goes to stderr with the usage text, and kvscale exits with 2.
struct UsageError {
    std::string message;
};

// The words after the command name, consumed front to back.
class Arguments {
public:
    Arguments(int argc, char** argv, int first);

    bool empty() const { return next_ >= words_.size(); }
    std::string_view Peek() const { return words_[next_]; }
    std::string_view Take() { return words_[next_++]; }
    // The value after an option; a missing value is a usage error.
    std::string_view TakeValue(std::string_view option);

private:
    std::vector<std::string_view> words_;
    size_t next_ = 0;
};

// Whole numbers and decimals as options take them; anything else is a usage error naming the option.
int32_t ParseInt(std::string_view text, std::string_view option, int32_t min, int32_t max);
double ParseDouble(std::string_view text, std::string_view option, double min, double max);
// "WxH" with positive sides.
std::pair<int32_t, int32_t> ParseSize(std::string_view text, std::string_view option);

// Messages to stderr; questions are answered "no", since nobody is there to ask.
class ConsolePrompt final : public IUserPrompt {
public:
    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& question) override;
    void Beep() override {}
};

// Shows the overall percentage on stderr when it is a terminal, on one line that it rewrites.
class TerminalProgress final : public CRSProgress {
public:
    TerminalProgress();
    ~TerminalProgress() override;
    bool OnProgress(int32_t percent) override;

private:
    bool terminal_;
    int32_t shown_ = -1;
};

}  // namespace kv::cli
