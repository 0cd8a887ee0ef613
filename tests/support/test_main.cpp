#include "support/test_env.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    zeph::test::isolateProcessEnvironment();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
