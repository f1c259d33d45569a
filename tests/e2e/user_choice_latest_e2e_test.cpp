// Windows 11 since 24H2 keeps the user's choice of browser under UserChoiceLatest, and Settings
// writes only that key: the launcher must take it over a legacy UserChoice left naming another
// browser, and fall back to the legacy key whenever the newer one gives no ProgId.
#include "tests/e2e/browser_scenario.h"

namespace {

const std::wstring kLatest = std::wstring(kUserChoice) + L"Latest\\ProgId";
const wchar_t kLatestProgId[] = L"WgameE2ELatestBrowser";
const std::wstring kLatestCommandKey =
    std::wstring(L"Software\\Classes\\") + kLatestProgId + L"\\shell\\open\\command";

class LatestChoiceScenario : public BrowserScenario {
 protected:
  void SetUp() override {
    BrowserScenario::SetUp();
    DeleteRegTree(HKEY_CURRENT_USER, std::wstring(kUserChoice) + L"Latest");
    DeleteRegTree(HKEY_CURRENT_USER, kUserChoice);
  }
  void TearDown() override {
    DeleteRegTree(HKEY_CURRENT_USER, std::wstring(kUserChoice) + L"Latest");
    DeleteRegTree(HKEY_CURRENT_USER, kUserChoice);
    DeleteRegTree(HKEY_LOCAL_MACHINE, std::wstring(L"Software\\Classes\\") + kLatestProgId);
    BrowserScenario::TearDown();
  }

  // The legacy key names legacy.exe, living 2.5 s; the newer key's ProgId names latest.exe, 1.5 s.
  void RegisterBothBrowsers() {
    AddStandin(ProgramsDir() + L"\\legacy.exe", 2500);
    RegisterBrowser(Quoted(ProgramsDir() + L"\\legacy.exe") + L" \"%1\"");
    AddStandin(ProgramsDir() + L"\\latest.exe", 1500);
    SetRegText(HKEY_LOCAL_MACHINE, kLatestCommandKey, L"",
               Quoted(ProgramsDir() + L"\\latest.exe") + L" --new \"%1\"");
  }

  // Checks that `browser` was started with the address, waited for, and then the follow-ups
  // opened in order; and that `other` never started.
  void ExpectWaitedFor(const std::string& browser, const std::string& other) {
    const std::vector<Event> events = Events(6);
    const Event started = StartOf(events, browser);
    EXPECT_NE(started.commandLine.find(kAddress), std::string::npos) << started.commandLine;
    const Event game = StartOf(events, "game.exe");
    EXPECT_GT(game.ms, EndOf(events, browser).ms) << "waited for " << browser;
    EXPECT_GT(StartOf(events, "wgame.exe").ms, game.ms);
    EXPECT_EQ(Find(events, "start", other), nullptr) << other << " started";
    EXPECT_EQ(Find(events, "start", "https-handler.exe"), nullptr) << "the shell was asked";
  }
};

TEST_F(LatestChoiceScenario, NewerKeysBrowserIsStartedAndWaitedForOverTheLegacyOne) {
  RegisterBothBrowsers();
  SetRegText(HKEY_CURRENT_USER, kLatest, L"ProgId", kLatestProgId);
  EXPECT_EQ(RunLauncher().exitCode, 0u);
  ExpectWaitedFor("latest.exe", "legacy.exe");
}

TEST_F(LatestChoiceScenario, NewerKeyAlone) {
  RegisterBothBrowsers();
  DeleteRegTree(HKEY_CURRENT_USER, kUserChoice);
  SetRegText(HKEY_CURRENT_USER, kLatest, L"ProgId", kLatestProgId);
  EXPECT_EQ(RunLauncher().exitCode, 0u);
  ExpectWaitedFor("latest.exe", "legacy.exe");
}

// Windows guards the choice against writes: a key the user may only read is still the choice.
TEST_F(LatestChoiceScenario, NewerKeyTheUserMayOnlyReadIsStillUsed) {
  RegisterBothBrowsers();
  SetRegText(HKEY_CURRENT_USER, kLatest, L"ProgId", kLatestProgId);
  ASSERT_TRUE(RestrictKeyToRead(HKEY_CURRENT_USER, kLatest));
  EXPECT_EQ(RunLauncher().exitCode, 0u);
  ExpectWaitedFor("latest.exe", "legacy.exe");
}

TEST_F(LatestChoiceScenario, EachFailureOfTheNewerKeyFallsBackToTheLegacyKey) {
  struct Row {
    const char* why;
    bool key;  // the newer key exists
    std::wstring value;
    DWORD type;  // REG_NONE: the key has no ProgId value
  } rows[] = {
      {"no newer key", false, L"", REG_NONE},
      {"newer key without a ProgId value", true, L"", REG_NONE},
      {"empty ProgId", true, L"", REG_SZ},
      {"ProgId that is not text", true, kLatestProgId, REG_BINARY},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.why);
    ClearEvents();
    RegisterBothBrowsers();
    DeleteRegTree(HKEY_CURRENT_USER, std::wstring(kUserChoice) + L"Latest");
    if (row.key) SetRegText(HKEY_CURRENT_USER, kLatest + L"\\Unused", L"", L"");
    if (row.type != REG_NONE)
      SetRegText(HKEY_CURRENT_USER, kLatest, L"ProgId", row.value, row.type);
    EXPECT_EQ(RunLauncher().exitCode, 0u);
    ExpectWaitedFor("legacy.exe", "latest.exe");
  }
}

TEST_F(LatestChoiceScenario, OldSystemsRouteIgnoresTheNewerKey) {
  SetRegText(HKEY_CURRENT_USER, kAppDefaults, L"Version", L"winxp");
  RegisterBothBrowsers();
  SetRegText(HKEY_CURRENT_USER, kLatest, L"ProgId", kLatestProgId);
  AddStandin(ProgramsDir() + L"\\oldbrowser.exe", 1500);
  SetRegText(HKEY_LOCAL_MACHINE, L"Software\\Classes\\http\\shell\\open\\command", L"",
             L"\"" + ProgramsDir() + L"\\oldbrowser.exe\" \"%1\"");
  EXPECT_EQ(RunLauncher().exitCode, 0u);
  ExpectWaitedFor("oldbrowser.exe", "latest.exe");
}

}  // namespace
