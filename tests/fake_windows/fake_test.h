// Base for host tests: a fresh fake machine for every test.
#pragma once

#include <gtest/gtest.h>

#include "launcher/launch_state.h"
#include "platform/services.h"
#include "tests/fake_windows/fake_windows.h"

class FakeWindowsTest : public ::testing::Test {
 public:
  // A fresh machine in place of the last (`machine` stays valid), with nothing bound yet and the
  // launch state cleared: for a test that runs several scenarios, one per table row.
  static void FreshMachine() {
    fake::Reset();
    ForgetProcessBindings();
    LaunchUrl.clear();
    BrowserExe.clear();
    BrowserArgs.clear();
    QuitRequested = false;
  }

 protected:
  void SetUp() override { FreshMachine(); }

  fake::Machine& machine = fake::M();
};
