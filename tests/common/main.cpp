#include <gtest/gtest.h>

#include "engine/SanitizerThreadLimit.h"

int main(int argc, char** argv) {
    [[maybe_unused]] const kv::SanitizerThreadLimit threadLimit;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
