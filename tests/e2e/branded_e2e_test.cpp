// A launcher built with a publisher's options (tests/branded-build builds it and runs this test
// with BRANDED_LAUNCHER and BRANDED_ADDRESS set): its own address reaches the browser.
#include "tests/e2e/browser_scenario.h"

namespace {

TEST_F(BrowserScenario, BrandedLauncherStartsTheBrowserWithItsOwnAddress) {
  const std::wstring launcher = EnvironmentValue(L"BRANDED_LAUNCHER");
  const std::string address = Utf8(EnvironmentValue(L"BRANDED_ADDRESS"));
  if (launcher.empty()) GTEST_SKIP() << "run by tests/branded-build";
  UseLauncher(launcher);
  const std::wstring browser = ProgramsDir() + L"\\browser.exe";
  AddStandin(browser, 500);
  RegisterBrowser(Quoted(browser) + L" \"%1\"");

  EXPECT_EQ(RunLauncher().exitCode, 0u);
  const std::vector<Event> starts = Starts(3);
  ASSERT_EQ(starts.size(), 3u);
  EXPECT_EQ(starts[0].image, "browser.exe");
  EXPECT_TRUE(EndsWith(starts[0].commandLine, " \"" + address + "\"")) << starts[0].commandLine;
  EXPECT_EQ(starts[1].image, "game.exe");
}

}  // namespace
