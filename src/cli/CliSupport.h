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

// The words after the command name, consumed front to back. A lone "--" ends the options: it is
// skipped, and every word after it is a file name, even one that begins with "-".
class Arguments {
public:
    Arguments(int argc, char** argv, int first);

    bool empty();
    // The next word; skips the "--" that ends the options.
    std::string_view Take();
    // The value after an option; a missing value is a usage error.
    std::string_view TakeValue(std::string_view option);
    // Whether a word just taken is an option: it begins with "-", is more than "-", and the
    // options have not ended.
    bool IsOption(std::string_view word) const { return !optionsEnded_ && word.size() > 1 && word[0] == '-'; }

private:
    void SkipEndOfOptions();

    std::vector<std::string_view> words_;
    size_t next_ = 0;
    bool optionsEnded_ = false;
};

// The JPEG quality every command takes: 1 to 100.
int32_t ParseQuality(std::string_view text, std::string_view option);

// --max-memory SIZE ("512M", "2G"): the budget every resize is measured against from now on.
void SetMemoryBudgetOption(std::string_view text, std::string_view option);

// While it lives, SIGINT, SIGTERM and SIGHUP ask the command to stop as "Cancel" does: an own
// algorithm stops at its next step, a batch before its next image, and a file being written is
// dropped instead of put in place. A second signal of the same kind ends kvscale at once.
class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    // The signal that arrived, or 0.
    static int Received();
};

// A write past RLIMIT_FSIZE fails with EFBIG, reported like any failed write, instead of the
// signal ending the process with its temporary file left behind.
void IgnoreFileSizeSignal();

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
