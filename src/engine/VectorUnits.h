#pragma once

#include <cstdint>

namespace kv {

// The vector instructions the hot loops of the range resizes may use. Each loop is compiled once
// per level from the same source and chosen at run time; every level performs the same IEEE
// operations in the same order (no fused multiply-adds), so the results are identical and only
// the speed differs.
enum class VectorUnits : uint8_t { Plain, Avx2, Avx512 };

// The best level this processor offers, found once.
VectorUnits BestVectorUnits();
// The level the loops use: the best one unless a test or benchmark chose another.
VectorUnits ActiveVectorUnits();
// Chooses the level for later calls; one the processor lacks falls back to the best it has.
void UseVectorUnits(VectorUnits units);

#if defined(__x86_64__) && defined(__GNUC__)
#define KV_TARGET_AVX2 __attribute__((target("avx2")))
#define KV_TARGET_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl,avx512dq,avx2")))
#define KV_HAVE_VECTOR_UNITS 1
#else
#define KV_TARGET_AVX2
#define KV_TARGET_AVX512
#define KV_HAVE_VECTOR_UNITS 0
#endif

// Defines name##Plain, name##Avx2 and name##Avx512, each running name##Body (an always-inline
// function) compiled for its instruction set. `params` is the parenthesised parameter list,
// `args` the parenthesised argument list that passes them on.
#define KV_VECTOR_VARIANTS(ret, name, params, args)          \
    ret name##Plain params { return name##Body args; }      \
    KV_TARGET_AVX2 ret name##Avx2 params { return name##Body args; } \
    KV_TARGET_AVX512 ret name##Avx512 params { return name##Body args; }

// The variant of a loop for the active vector units.
template <class Fn>
Fn PickVariant(Fn plain, Fn avx2, Fn avx512) {
    switch (ActiveVectorUnits()) {
        case VectorUnits::Avx512:
            return avx512;
        case VectorUnits::Avx2:
            return avx2;
        case VectorUnits::Plain:
            break;
    }
    return plain;
}

#define KV_PICK_VARIANT(name) ::kv::PickVariant(name##Plain, name##Avx2, name##Avx512)
#define KV_ALWAYS_INLINE __attribute__((always_inline)) inline

}  // namespace kv
