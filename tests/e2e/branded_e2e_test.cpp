// A launcher built with a publisher's options (tests/branded-build builds it and runs this test
// with BRANDED_LAUNCHER, BRANDED_ADDRESS, BRANDED_SHORTCUT and BRANDED_COMPANION set): its own
// address reaches the browser, and its own follow-up names open after it, not the default ones.
#include "tests/e2e/browser_scenario.h"

namespace {

TEST_F(BrowserScenario, BrandedLauncherStartsTheBrowserWithItsOwnAddress) {
  const std::wstring launcher = EnvironmentValue(L"BRANDED_LAUNCHER");
  const std::string address = Utf8(EnvironmentValue(L"BRANDED_ADDRESS"));
  const std::wstring shortcut = EnvironmentValue(L"BRANDED_SHORTCUT");
  const std::wstring companion = EnvironmentValue(L"BRANDED_COMPANION");
  if (launcher.empty()) GTEST_SKIP() << "run by tests/branded-build";
  UseLauncher(launcher);
  const std::wstring browser = ProgramsDir() + L"\\browser.exe";
  AddStandin(browser, 500);
  RegisterBrowser(Quoted(browser) + L" \"%1\"");
  // The defaults (play.lnk, fscommand\wgame.exe) are in the game folder too, and must stay shut.
  AddStandin(ProgramsDir() + L"\\branded-game.exe");
  AddShortcut(GameDir() + L"\\" + shortcut, ProgramsDir() + L"\\branded-game.exe");
  AddStandin(GameDir() + L"\\" + companion);
  const std::string companionImage = Utf8(companion.substr(companion.rfind(L'\\') + 1));

  EXPECT_EQ(RunLauncher().exitCode, 0u);
  const std::vector<Event> starts = Starts(3);
  ASSERT_EQ(starts.size(), 3u);
  EXPECT_EQ(starts[0].image, "browser.exe");
  EXPECT_TRUE(EndsWith(starts[0].commandLine, " \"" + address + "\"")) << starts[0].commandLine;
  EXPECT_EQ(starts[1].image, "branded-game.exe");
  EXPECT_EQ(starts[2].image, companionImage);
  Sleep(500);
  EXPECT_EQ(Starts(0, 0).size(), 3u) << "a default follow-up opened too";
}

}  // namespace
