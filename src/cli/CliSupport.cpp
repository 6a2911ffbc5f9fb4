#include "cli/CliSupport.h"

#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace kv::cli {

Arguments::Arguments(int argc, char** argv, int first) {
    for (int i = first; i < argc; ++i) words_.emplace_back(argv[i]);
}

std::string_view Arguments::TakeValue(std::string_view option) {
    if (empty()) throw UsageError{std::string(option) + " needs a value"};
    return Take();
}

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
