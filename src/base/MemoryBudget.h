#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

// How much memory a job may take. By default that is what the process can still get: the memory
// the system reports available, the address space left under the process's RLIMIT_AS, and the room
// left in its memory control group, whichever is smallest. The user may set a budget instead.
namespace kv {

// What the process can still allocate now, in bytes.
uint64_t AvailableMemory();

// A budget the user chose, or nothing for the automatic one. Process-wide.
void SetMemoryBudget(std::optional<uint64_t> bytes);
std::optional<uint64_t> ConfiguredMemoryBudget();
// The budget in force: the configured one, else AvailableMemory().
uint64_t MemoryBudget();

// "512M", "2G", "1.5g", "300000000": a size in bytes, with an optional K, M, G or T (powers of
// 1024) and an optional B. Nothing for anything else or for 0.
std::optional<uint64_t> ParseMemorySize(std::string_view text);
// "1.5 GB", "300 MB", "12 KB" (powers of 1024).
std::string FormatMemorySize(uint64_t bytes);

// A budget shared by jobs that run at once: each holds what it needs while it runs, and one that
// does not fit beside the others waits until they let go.
class MemoryPool {
public:
    explicit MemoryPool(uint64_t budget) : budget_(budget) {}
    MemoryPool(const MemoryPool&) = delete;
    MemoryPool& operator=(const MemoryPool&) = delete;

    // What one job holds; given back when it ends.
    class Hold {
    public:
        Hold() = default;
        Hold(Hold&& other) noexcept : pool_(other.pool_), bytes_(other.bytes_) { other.pool_ = nullptr; }
        Hold& operator=(Hold&& other) noexcept;
        ~Hold() { Release(); }
        explicit operator bool() const { return pool_ != nullptr; }
        uint64_t bytes() const { return bytes_; }
        void Release();

    private:
        friend class MemoryPool;
        Hold(MemoryPool* pool, uint64_t bytes) : pool_(pool), bytes_(bytes) {}
        MemoryPool* pool_ = nullptr;
        uint64_t bytes_ = 0;
    };

    // Takes bytes from the pool, waiting while the other holders leave too little. An empty hold
    // when bytes exceed the whole budget (it could never fit), or when stop answers true while it
    // waits (asked now and then).
    Hold Acquire(uint64_t bytes, const std::function<bool()>& stop = {});

    uint64_t budget() const { return budget_; }
    uint64_t held() const;

private:
    void Give(uint64_t bytes);

    const uint64_t budget_;
    mutable std::mutex mutex_;
    std::condition_variable released_;
    uint64_t held_ = 0;
};

}  // namespace kv
