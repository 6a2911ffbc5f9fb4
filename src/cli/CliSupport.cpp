#include "cli/CliSupport.h"

#include <unistd.h>

#include <atomic>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "base/AtomicFile.h"
#include "base/MemoryBudget.h"

namespace kv::cli {

Arguments::Arguments(int argc, char** argv, int first) {
    for (int i = first; i < argc; ++i) words_.emplace_back(argv[i]);
}

void Arguments::SkipEndOfOptions() {
    if (!optionsEnded_ && next_ < words_.size() && words_[next_] == "--") {
        optionsEnded_ = true;
        ++next_;
    }
}

bool Arguments::empty() {
    SkipEndOfOptions();
    return next_ >= words_.size();
}

std::string_view Arguments::Take() {
    SkipEndOfOptions();
    return words_[next_++];
}

std::string_view Arguments::TakeValue(std::string_view option) {
    if (next_ >= words_.size()) throw UsageError{std::string(option) + " needs a value"};
    return words_[next_++];
}

int32_t ParseQuality(std::string_view text, std::string_view option) { return ParseInt(text, option, 1, 100); }

void SetMemoryBudgetOption(std::string_view text, std::string_view option) {
    const std::optional<uint64_t> bytes = ParseMemorySize(text);
    if (!bytes) throw UsageError{std::string(option) + " takes a size such as 512M or 2G, not \"" + std::string(text) + "\""};
    SetMemoryBudget(*bytes);
}

namespace {

std::atomic<int> g_received{0};

extern "C" void OnInterrupt(int signal) {
    g_received.store(signal);
    CancelRequested.store(1);
    InterruptWrites();
}

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[3];

}  // namespace

InterruptGuard::InterruptGuard() {
    g_received.store(0);
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < 3; ++i) sigaction(kInterrupts[i], &action, &g_previous[i]);
}

InterruptGuard::~InterruptGuard() {
    for (size_t i = 0; i < 3; ++i) sigaction(kInterrupts[i], &g_previous[i], nullptr);
}

int InterruptGuard::Received() { return g_received.load(); }

void IgnoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

int32_t ParseInt(std::string_view text, std::string_view option, int32_t min, int32_t max) {
    int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < min || value > max)
        throw UsageError{std::string(option) + " takes a whole number from " + std::to_string(min) + " to " +
                         std::to_string(max) + ", not \"" + std::string(text) + "\""};
    return static_cast<int32_t>(value);
}

double ParseDouble(std::string_view text, std::string_view option, double min, double max) {
    const std::string copy(text);
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (copy.empty() || end != copy.c_str() + copy.size() || !(value >= min && value <= max))
        throw UsageError{std::string(option) + " takes a number from " + std::to_string(min) + " to " +
                         std::to_string(max) + ", not \"" + copy + "\""};
    return value;
}

std::pair<int32_t, int32_t> ParseSize(std::string_view text, std::string_view option) {
    const size_t x = text.find_first_of("xX");
    if (x == std::string_view::npos) throw UsageError{std::string(option) + " takes WIDTHxHEIGHT, not \"" + std::string(text) + "\""};
    return {ParseInt(text.substr(0, x), option, 1, 1 << 20), ParseInt(text.substr(x + 1), option, 1, 1 << 20)};
}

void ConsolePrompt::ShowMessage(const std::string& text) { std::fprintf(stderr, "kvscale: %s\n", text.c_str()); }

bool ConsolePrompt::AskYesNo(const std::string& question) {
    std::fprintf(stderr, "kvscale: %s (answered no)\n", question.c_str());
    return false;
}

TerminalProgress::TerminalProgress() : CRSProgress(nullptr), terminal_(::isatty(STDERR_FILENO) == 1) {}

TerminalProgress::~TerminalProgress() {
    if (terminal_ && shown_ >= 0) std::fputs("\r\033[K", stderr);
}

bool TerminalProgress::OnProgress(int32_t percent) {
    if (!CRSProgress::OnProgress(percent)) return false;
    const int32_t overall = OverallPercent.load(std::memory_order_relaxed);
    if (terminal_ && overall != shown_) {
        shown_ = overall;
        std::fprintf(stderr, "\r%3d%%", overall);
        std::fflush(stderr);
    }
    return true;
}

}  // namespace kv::cli
