#include "base/CpuFeatures.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(CpuFeaturesTest, AChoiceNeverRunsASetTheProcessorOrItsCodeLacks) {
    for (const InstructionSet widest : {InstructionSet::Plain, InstructionSet::Avx2, InstructionSet::Avx512}) {
        InstructionSetChoice choice(widest);
        EXPECT_LE(choice.Best(), widest);
        EXPECT_TRUE(CpuHas(choice.Best()));
        EXPECT_EQ(choice.Active(), choice.Best());
        choice.Use(InstructionSet::Avx512);
        EXPECT_EQ(choice.Active(), choice.Best());
        choice.Use(InstructionSet::Plain);
        EXPECT_EQ(choice.Active(), InstructionSet::Plain);
    }
    EXPECT_TRUE(CpuHas(InstructionSet::Plain));
}

}  // namespace
}  // namespace kv
