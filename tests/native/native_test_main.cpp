// Test entry: the portable core runs on malloc, and a fatal runtime error
// becomes a C++ exception the tests can expect.
#include <gtest/gtest.h>
#include <malloc.h>

#include "tests/native/native_platform.h"

int main(int argc, char** argv) {
  InstallNativeBlockPlatform();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
