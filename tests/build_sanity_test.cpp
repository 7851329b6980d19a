#include <gtest/gtest.h>

#include "port/resource.h"

TEST(Build, StatusCodesAreNegativeOnFailure) {
  EXPECT_TRUE(port::Failed(port::kFail));
  EXPECT_FALSE(port::Failed(port::kOk));
}
