#pragma once

#include <atomic>
#include <cstdint>

// The processor's vector instruction sets, probed once for every dispatcher of the program: the
// resample kernels, the vector units of the range resizes, the advanced resize's kernels and the
// JPEG transforms. A hot loop is compiled once per set, each copy under its own target attribute
// so that the rest of the program keeps the baseline instruction set, and chosen at run time.
// Every copy computes the same results; only the speed differs.
#if defined(__x86_64__) && defined(__GNUC__)
#define KV_X86 1
#define KV_TARGET_AVX2 __attribute__((target("avx2")))
#define KV_TARGET_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl,avx512dq,avx2")))
#else
#define KV_X86 0
#define KV_TARGET_AVX2
#define KV_TARGET_AVX512
#endif

namespace kv {

// From none to the widest; each set includes the ones before it.
enum class InstructionSet : uint8_t { Plain, Avx2, Avx512 };

// The widest set this processor offers (AVX-512 counts when its F, BW, VL and DQ parts are there).
InstructionSet BestInstructionSet();
inline bool CpuHas(InstructionSet set) { return set <= BestInstructionSet(); }

// The set one dispatcher runs: the widest that it has code for and the processor offers, unless a
// test or benchmark chose a narrower one. A choice wider than that falls back to it.
class InstructionSetChoice {
public:
    explicit InstructionSetChoice(InstructionSet widestCode)
        : best_(CpuHas(widestCode) ? widestCode : BestInstructionSet()), active_(best_) {}
    InstructionSetChoice(const InstructionSetChoice&) = delete;
    InstructionSetChoice& operator=(const InstructionSetChoice&) = delete;

    InstructionSet Best() const { return best_; }
    InstructionSet Active() const { return active_.load(std::memory_order_relaxed); }
    void Use(InstructionSet set) { active_.store(set > best_ ? best_ : set, std::memory_order_relaxed); }

private:
    const InstructionSet best_;
    std::atomic<InstructionSet> active_;
};

}  // namespace kv
