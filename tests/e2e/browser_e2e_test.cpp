// The whole launcher under Wine: it finds a stand-in browser registered as the user's http
// handler, starts it with the address in its own command template, waits until it is gone, then
// opens the follow-ups.
#include "tests/e2e/browser_scenario.h"

namespace {

TEST_F(BrowserScenario, WaitsForTheBrowserThenOpensTheShortcutAndTheCompanion) {
  const std::wstring browser = ProgramsDir() + L"\\browser.exe";
  AddStandin(browser, 2500);
  RegisterBrowser(Quoted(browser) + L" -- \"%1\"");

  const LauncherRun run = RunLauncher();
  EXPECT_EQ(run.exitCode, 0u);
  const std::vector<Event> events = Events(6);
  const Event started = StartOf(events, "browser.exe");
  EXPECT_TRUE(EndsWith(started.commandLine, " -- \"" + kAddress + "\"")) << started.commandLine;
  const Event ended = EndOf(events, "browser.exe");
  const Event game = StartOf(events, "game.exe");
  const Event companion = StartOf(events, "wgame.exe");
  EXPECT_GT(game.ms, ended.ms) << "the shortcut waits for the browser";
  EXPECT_LT(game.ms - ended.ms, kFollowUpSlackMs);
  EXPECT_GT(companion.ms, game.ms) << "shortcut first, then the companion";
  EXPECT_EQ(Find(events, "start", "https-handler.exe"), nullptr) << "the shell was not asked";
}

TEST_F(BrowserScenario, OldSystemsRouteReadsTheClassCommandLowerCased) {
  SetRegText(HKEY_CURRENT_USER, kAppDefaults, L"Version", L"winxp");
  const std::wstring browser = ProgramsDir() + L"\\oldbrowser.exe";
  AddStandin(browser, 2000);
  RegisterBrowser(L"\"C:\\nowhere\\ignored.exe\" \"%1\"");  // only newer systems look here
  SetRegText(HKEY_LOCAL_MACHINE, L"Software\\Classes\\http\\shell\\open\\command", L"",
             L"\"" + ProgramsDir() + L"\\OldBrowser.EXE\" -URL \"%1\"");

  EXPECT_EQ(RunLauncher().exitCode, 0u);
  const std::vector<Event> events = Events(6);
  const Event started = StartOf(events, "oldbrowser.exe");
  EXPECT_TRUE(EndsWith(started.commandLine, " -url \"" + kAddress + "\"")) << started.commandLine;
  EXPECT_GT(StartOf(events, "game.exe").ms, EndOf(events, "oldbrowser.exe").ms);
}

TEST_F(BrowserScenario, QuitMessageEndsTheWaitEarly) {
  const std::wstring browser = ProgramsDir() + L"\\browser.exe";
  AddStandin(browser, 9000);
  RegisterBrowser(Quoted(browser) + L" \"%1\"");

  unsigned long long posted = 0;
  const LauncherRun run = RunLauncher(60000, [&](const PROCESS_INFORMATION& launcher) {
    Sleep(1500);
    // The launcher's thread has a queue once it has peeked at it, after its first second.
    for (int tries = 0; tries < 50 && posted == 0; ++tries) {
      if (PostThreadMessageW(launcher.dwThreadId, WM_QUIT, 0, 0)) {
        posted = Now();
      } else {
        Sleep(100);
      }
    }
  });
  ASSERT_NE(posted, 0u) << "the quit message could not be posted";
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_LT(run.ended - posted, kFollowUpSlackMs + 500);
  const std::vector<Event> events = Events(4);
  const Event game = StartOf(events, "game.exe");
  StartOf(events, "wgame.exe");
  EXPECT_EQ(Find(events, "end", "browser.exe"), nullptr) << "the browser was still running";
  EXPECT_LT(game.ms, posted + kFollowUpSlackMs);
}

TEST_F(BrowserScenario, OperaStubIsWatchedThroughTheProgramItStarts) {
  const std::wstring opera = ProgramsDir() + L"\\opera.exe";
  AddStandin(opera, 3000);
  const std::wstring stub = ProgramsDir() + L"\\launcher.exe";
  AddStandin(stub, 0, opera);
  RegisterBrowser(Quoted(stub) + L" \"%1\"");

  EXPECT_EQ(RunLauncher().exitCode, 0u);
  const std::vector<Event> events = Events(8);
  const Event operaEnd = EndOf(events, "opera.exe");
  const Event game = StartOf(events, "game.exe");
  EXPECT_GT(game.ms, operaEnd.ms) << "the wait follows opera.exe, not the stub";
  EXPECT_LT(game.ms - operaEnd.ms, kFollowUpSlackMs);
}

TEST_F(BrowserScenario, FailedBrowserStartOpensTheFollowUpsAtOnce) {
  RegisterBrowser(L"\"C:\\no\\such\\browser.exe\" \"%1\"");
  const LauncherRun run = RunLauncher();
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_LT(run.ended - run.started, 1000u) << "no wait";
  const std::vector<Event> starts = Starts(2);
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[0].image, "game.exe");
  EXPECT_EQ(starts[1].image, "wgame.exe");
}

TEST_F(BrowserScenario, CommandKeyTheUserMayNotWriteSendsTheAddressToTheShell) {
  const std::wstring browser = ProgramsDir() + L"\\browser.exe";
  AddStandin(browser, 5000);
  RegisterBrowser(Quoted(browser) + L" \"%1\"");
  ASSERT_TRUE(RestrictKeyToRead(HKEY_LOCAL_MACHINE, kCommandKey));

  const LauncherRun run = RunLauncher();
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_LT(run.ended - run.started, 1000u) << "no wait";
  const std::vector<Event> starts = Starts(3);
  ASSERT_EQ(starts.size(), 3u);
  EXPECT_EQ(starts[0].image, "https-handler.exe");
  EXPECT_NE(starts[0].commandLine.find(kAddress), std::string::npos);
  EXPECT_EQ(starts[1].image, "game.exe");
  EXPECT_EQ(starts[2].image, "wgame.exe");
}

// Windows guards the user's choice against writing. The launcher only reads it: a choice key the
// user may only read still names the browser, which is started and waited for; only the command
// key's rights decide whether the launcher waits.
TEST_F(BrowserScenario, ChoiceKeyTheUserMayOnlyReadStillNamesTheBrowser) {
  struct Row {
    const char* why;
    bool readOnlyCommandKey;
  } rows[] = {
      {"read-only choice key: the browser is started and waited for", false},
      {"read-only choice and command keys: the shell's route, no wait", true},
  };
  const std::wstring browser = ProgramsDir() + L"\\browser.exe";
  AddStandin(browser, 2500);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.why);
    ClearEvents();
    DeleteRegTree(HKEY_CURRENT_USER, kUserChoice);
    RegisterBrowser(Quoted(browser) + L" \"%1\"");
    ASSERT_TRUE(RestrictKeyToRead(HKEY_CURRENT_USER, kUserChoice));
    if (row.readOnlyCommandKey) ASSERT_TRUE(RestrictKeyToRead(HKEY_LOCAL_MACHINE, kCommandKey));

    const LauncherRun run = RunLauncher();
    EXPECT_EQ(run.exitCode, 0u);
    const std::vector<Event> starts = Starts(3);
    ASSERT_EQ(starts.size(), 3u);
    EXPECT_EQ(starts[0].image, row.readOnlyCommandKey ? "https-handler.exe" : "browser.exe");
    EXPECT_NE(starts[0].commandLine.find(kAddress), std::string::npos);
    EXPECT_EQ(starts[1].image, "game.exe");
    EXPECT_EQ(starts[2].image, "wgame.exe");
    if (row.readOnlyCommandKey) {
      EXPECT_LT(run.ended - run.started, 1000u) << "no wait";
    } else {
      EXPECT_GT(starts[1].ms, EndOf(Events(6), "browser.exe").ms) << "waited for the browser";
    }
  }
}

// The shipped executable carries a trimmed C++ runtime: the registry failure must still unwind to
// the lookup's guard instead of ending the program.
TEST_F(BrowserScenario, NonTextProgidIsCaughtAndTheAddressGoesToTheShell) {
  const std::wstring browser = ProgramsDir() + L"\\browser.exe";
  AddStandin(browser, 5000);
  RegisterBrowser(Quoted(browser) + L" \"%1\"");
  SetRegText(HKEY_CURRENT_USER, kUserChoice, L"Progid", kProgId, REG_BINARY);

  const LauncherRun run = RunLauncher();
  EXPECT_EQ(run.exitCode, 0u);
  const std::vector<Event> starts = Starts(3);
  ASSERT_EQ(starts.size(), 3u);
  EXPECT_EQ(starts[0].image, "https-handler.exe");
  EXPECT_EQ(starts[1].image, "game.exe");
  EXPECT_EQ(starts[2].image, "wgame.exe");
}

TEST_F(BrowserScenario, AlreadyRunningInstanceKeepsTheWaitAlive) {
  const std::wstring browser = ProgramsDir() + L"\\browser.exe";
  AddStandin(browser, 300);
  const HANDLE instance = StartOpenInstance(4500);
  RegisterBrowser(Quoted(browser) + L" \"%1\"");

  EXPECT_EQ(RunLauncher().exitCode, 0u);
  WaitForSingleObject(instance, 10000);
  CloseHandle(instance);
  const std::vector<Event> events = Events(8);
  const unsigned long long lastEnd = LastEnd(events, "browser.exe");
  const Event game = StartOf(events, "game.exe");
  EXPECT_GT(game.ms, lastEnd) << "waited for the instance that was already running";
  EXPECT_LT(game.ms - lastEnd, kFollowUpSlackMs);
}

}  // namespace
