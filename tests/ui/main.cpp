#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "engine/SanitizerThreadLimit.h"
#include "ui/bridge/ThreadCheckerOptions.h"

// The widget tests run without a display: Qt's offscreen platform unless told otherwise.
int main(int argc, char** argv) {
    [[maybe_unused]] const kv::SanitizerThreadLimit threadLimit;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
