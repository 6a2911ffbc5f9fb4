#pragma once

#include "base/CpuFeatures.h"

namespace kv {

// The vector instructions the hot loops of the range resizes may use. Every level performs the
// same IEEE operations in the same order (no fused multiply-adds), so the results are identical.
using VectorUnits = InstructionSet;

// The best level this processor offers for these loops.
VectorUnits BestVectorUnits();
// The level the loops use: the best one unless a test or benchmark chose another.
VectorUnits ActiveVectorUnits();
// Chooses the level for later calls; one the processor lacks falls back to the best it has.
void UseVectorUnits(VectorUnits units);

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
