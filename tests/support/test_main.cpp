// main() of the test programs that create no windows.
#include <gtest/gtest.h>

#include "bank_extensions.h"

int main(int argc, char** argv) {
  registerBankExtensions();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
