// The launcher with no browser of its own: the address goes to the shell, then the follow-ups.
#include "tests/e2e/scenario.h"

namespace {

const char kAddress[] = "https://www.wgame.example/index.php?id=304&r=720";

class ShellOpenScenario : public Scenario {
 protected:
  void SetUp() override {
    // No handler of the user's choice: the launcher cannot start a browser itself.
    DeleteRegTree(
        HKEY_CURRENT_USER,
        L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoice");
    AddStandin(ProgramsDir() + L"\\https-handler.exe");
    RegisterHttpsHandler(ProgramsDir() + L"\\https-handler.exe");
    AddStandin(ProgramsDir() + L"\\url-handler.exe");
    RegisterUrlFileHandler(ProgramsDir() + L"\\url-handler.exe");
    AddStandin(ProgramsDir() + L"\\game.exe");
  }
};

TEST_F(ShellOpenScenario, OpensTheAddressThenTheShortcutThenTheCompanion) {
  AddShortcut(GameDir() + L"\\play.lnk", ProgramsDir() + L"\\game.exe");
  AddStandin(GameDir() + L"\\play.url");  // never opened: the shortcut wins
  AddStandin(GameDir() + L"\\fscommand\\wgame.exe");

  const LauncherRun run = RunLauncher();
  EXPECT_EQ(run.exitCode, 0u);
  const std::vector<Event> starts = Starts(3);
  ASSERT_EQ(starts.size(), 3u);
  EXPECT_EQ(starts[0].image, "https-handler.exe");
  EXPECT_NE(starts[0].commandLine.find(std::string("\"") + kAddress + "\""), std::string::npos)
      << starts[0].commandLine;
  EXPECT_EQ(starts[1].image, "game.exe");
  EXPECT_EQ(starts[2].image, "wgame.exe");
  Sleep(500);
  EXPECT_EQ(Starts(4, 0).size(), 3u) << "nothing else was opened";
}

TEST_F(ShellOpenScenario, InternetShortcutWhenThereIsNoShortcut) {
  WriteFileText(GameDir() + L"\\play.url",
                "[InternetShortcut]\r\nURL=https://www.wgame.example/play\r\n");
  CreateDirectoryW((GameDir() + L"\\play.lnk").c_str(), nullptr);  // a folder is not a shortcut

  EXPECT_EQ(RunLauncher().exitCode, 0u);
  const std::vector<Event> starts = Starts(2);
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[0].image, "https-handler.exe");
  EXPECT_EQ(starts[1].image, "url-handler.exe");
  EXPECT_NE(starts[1].commandLine.find("play.url"), std::string::npos) << starts[1].commandLine;
}

TEST_F(ShellOpenScenario, FollowUpsBesideTheExecutableAreNotOpened) {
  AddShortcut(InstallDir() + L"\\play.lnk", ProgramsDir() + L"\\game.exe");
  AddStandin(InstallDir() + L"\\fscommand\\wgame.exe");

  EXPECT_EQ(RunLauncher().exitCode, 0u);
  const std::vector<Event> starts = Starts(1);
  Sleep(1000);
  const std::vector<Event> later = Starts(2, 0);
  ASSERT_EQ(later.size(), 1u);
  EXPECT_EQ(later[0].image, "https-handler.exe");
}

}  // namespace
