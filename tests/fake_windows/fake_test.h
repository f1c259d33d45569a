// Base for host tests: a fresh fake machine for every test.
#pragma once

#include <gtest/gtest.h>

#include "platform/services.h"
#include "tests/fake_windows/fake_windows.h"

class FakeWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override { ForgetProcessBindings(); }

  fake::Machine& machine = (fake::Reset(), fake::M());
};
