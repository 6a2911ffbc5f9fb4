#include "base/MemoryBudget.h"

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>

namespace kv {

namespace {

constexpr uint64_t kUnlimited = std::numeric_limits<uint64_t>::max();

// A "Name:   1234 kB" line of a /proc file, in bytes.
std::optional<uint64_t> ProcKilobytes(const char* file, std::string_view name) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() <= name.size() || line.compare(0, name.size(), name) != 0 || line[name.size()] != ':') continue;
        const unsigned long long kb = std::strtoull(line.c_str() + name.size() + 1, nullptr, 10);
        return static_cast<uint64_t>(kb) * 1024;
    }
    return std::nullopt;
}

// One number from a file of the memory controller; "max" means no limit.
std::optional<uint64_t> ReadNumber(const std::string& path) {
    std::ifstream in(path);
    std::string word;
    if (!(in >> word)) return std::nullopt;
    if (word == "max") return kUnlimited;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(word.c_str(), &end, 10);
    if (end == word.c_str()) return std::nullopt;
    return static_cast<uint64_t>(value);
}

// The room the process's memory control group (version 2) leaves.
uint64_t ControlGroupRoom() {
    std::ifstream in("/proc/self/cgroup");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("0::", 0) != 0) continue;
        const std::string folder = "/sys/fs/cgroup" + line.substr(3);
        const auto max = ReadNumber(folder + "/memory.max");
        const auto current = ReadNumber(folder + "/memory.current");
        if (!max || *max == kUnlimited || !current) return kUnlimited;
        return *max > *current ? *max - *current : 0;
    }
    return kUnlimited;
}

// The address space RLIMIT_AS leaves beside what is mapped already.
uint64_t AddressSpaceRoom() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kUnlimited;
    const uint64_t mapped = ProcKilobytes("/proc/self/status", "VmSize").value_or(0);
    return limit.rlim_cur > mapped ? limit.rlim_cur - mapped : 0;
}

std::atomic<uint64_t> g_configured{0};  // 0: automatic

}  // namespace

uint64_t AvailableMemory() {
    uint64_t room = ProcKilobytes("/proc/meminfo", "MemAvailable").value_or(kUnlimited);
    room = std::min(room, AddressSpaceRoom());
    room = std::min(room, ControlGroupRoom());
    return room;
}

void SetMemoryBudget(std::optional<uint64_t> bytes) { g_configured.store(bytes.value_or(0)); }

std::optional<uint64_t> ConfiguredMemoryBudget() {
    const uint64_t set = g_configured.load();
    if (set == 0) return std::nullopt;
    return set;
}

uint64_t MemoryBudget() { return ConfiguredMemoryBudget().value_or(AvailableMemory()); }

std::optional<uint64_t> ParseMemorySize(std::string_view text) {
    std::string copy(text);
    if (copy.empty() || !(std::isdigit(static_cast<unsigned char>(copy[0])) || copy[0] == '.')) return std::nullopt;
    char* end = nullptr;
    const double number = std::strtod(copy.c_str(), &end);
    std::string_view unit(end);
    double factor = 1;
    if (!unit.empty()) {
        switch (unit[0]) {
            case 'k': case 'K': factor = 1024.0; unit.remove_prefix(1); break;
            case 'm': case 'M': factor = 1024.0 * 1024; unit.remove_prefix(1); break;
            case 'g': case 'G': factor = 1024.0 * 1024 * 1024; unit.remove_prefix(1); break;
            case 't': case 'T': factor = 1024.0 * 1024 * 1024 * 1024; unit.remove_prefix(1); break;
            default: break;
        }
    }
    if (unit == "b" || unit == "B") unit.remove_prefix(1);
    const double bytes = number * factor;
    if (!unit.empty() || !std::isfinite(bytes) || bytes < 1 || bytes >= 1.8e19) return std::nullopt;
    return static_cast<uint64_t>(bytes);
}

std::string FormatMemorySize(uint64_t bytes) {
    static const char* const kUnits[] = {"bytes", "KB", "MB", "GB", "TB", "PB", "EB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024 && unit < 6) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    if (unit == 0) std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    else std::snprintf(text, sizeof text, value < 10 ? "%.1f %s" : "%.0f %s", value, kUnits[unit]);
    return text;
}

MemoryPool::Hold& MemoryPool::Hold::operator=(Hold&& other) noexcept {
    if (this != &other) {
        Release();
        pool_ = other.pool_;
        bytes_ = other.bytes_;
        other.pool_ = nullptr;
    }
    return *this;
}

void MemoryPool::Hold::Release() {
    if (pool_) pool_->Give(bytes_);
    pool_ = nullptr;
}

MemoryPool::Hold MemoryPool::Acquire(uint64_t bytes, const std::function<bool()>& stop) {
    if (bytes > budget_) return {};
    std::unique_lock lock(mutex_);
    while (held_ + bytes > budget_) {
        if (stop && stop()) return {};
        released_.wait_for(lock, std::chrono::milliseconds(50));
    }
    held_ += bytes;
    return Hold(this, bytes);
}

uint64_t MemoryPool::held() const {
    std::lock_guard lock(mutex_);
    return held_;
}

void MemoryPool::Give(uint64_t bytes) {
    {
        std::lock_guard lock(mutex_);
        held_ -= std::min(held_, bytes);
    }
    released_.notify_all();
}

}  // namespace kv
