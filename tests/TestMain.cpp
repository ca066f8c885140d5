// Test entry point: records the main thread as start-up does, then runs every test.
#include <gtest/gtest.h>

#include "Common/WString.h"

int main(int argc, char** argv) {
    Volux::SetMainThread();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
