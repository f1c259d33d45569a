// The support report and the launcher, one after the other on the same set-up: the report's
// verdict must be what the launcher then does.
#include "tests/e2e/browser_scenario.h"

namespace {

class ReportScenario : public BrowserScenario {
 protected:
  void SetUp() override {
    BrowserScenario::SetUp();
    DeleteRegTree(HKEY_CURRENT_USER, kReportAppDefaults);
    browser_ = ProgramsDir() + L"\\browser.exe";
    AddStandin(browser_, 1500);
  }
  void TearDown() override {
    DeleteRegTree(HKEY_CURRENT_USER, kReportAppDefaults);
    BrowserScenario::TearDown();
  }

  // Both programs see the system as Windows XP.
  void OldSystem() {
    SetRegText(HKEY_CURRENT_USER, kAppDefaults, L"Version", L"winxp");
    SetRegText(HKEY_CURRENT_USER, kReportAppDefaults, L"Version", L"winxp");
  }

  // Runs the report, then the launcher, and checks that the launcher did what the verdict said.
  // Returns the report.
  std::string ExpectVerdictKept(const std::string& verdictStart) {
    const std::size_t startsBefore = Starts(0, 0).size();
    const std::string report = RunReport();
    const std::size_t at = report.find("Verdict: ");
    EXPECT_NE(at, std::string::npos) << report;
    const std::string verdict = at == std::string::npos ? "" : report.substr(at);
    EXPECT_EQ(verdict.rfind(verdictStart, 0), 0u) << report;
    EXPECT_EQ(Starts(0, 0).size(), startsBefore) << "the report started something";

    const LauncherRun run = RunLauncher();
    EXPECT_EQ(run.exitCode, 0u);
    std::vector<Event> starts = Starts(startsBefore + 3);
    starts.erase(starts.begin(), starts.begin() + static_cast<std::ptrdiff_t>(startsBefore));
    EXPECT_GE(starts.size(), 3u);
    if (starts.size() < 3) return report;
    if (verdict.rfind("Verdict: starts ", 0) == 0) {
      EXPECT_EQ(starts[0].image, "browser.exe") << report;
      EXPECT_GT(starts[1].ms, LastEnd(Events(0, 0), "browser.exe")) << "the launcher waited";
    } else {
      EXPECT_EQ(starts[0].image, "https-handler.exe") << report;
      EXPECT_LT(run.ended - run.started, 1000u) << "no wait";
    }
    EXPECT_EQ(starts[1].image, "game.exe");
    EXPECT_EQ(starts[2].image, "wgame.exe") << "the shortcut, then the companion";
    return report;
  }

  static constexpr const wchar_t* kReportAppDefaults =
      L"Software\\Wine\\AppDefaults\\launcher-report.exe";
  std::wstring browser_;
};

TEST_F(ReportScenario, NewRoute) {
  RegisterBrowser(Quoted(browser_) + L" -- \"%1\"");
  const std::string report = ExpectVerdictKept("Verdict: starts \"");
  EXPECT_NE(report.find("UserChoice ProgId: WgameE2EBrowser"), std::string::npos) << report;
  EXPECT_NE(report.find("and waits until no browser.exe is running."), std::string::npos);
}

TEST_F(ReportScenario, OldRoute) {
  OldSystem();
  RegisterBrowser(L"\"C:\\nowhere\\ignored.exe\" \"%1\"");
  SetRegText(HKEY_LOCAL_MACHINE, L"Software\\Classes\\http\\shell\\open\\command", L"",
             Quoted(browser_) + L" -url \"%1\"");
  const std::string report = ExpectVerdictKept("Verdict: starts \"");
  EXPECT_NE(report.find("older than Vista"), std::string::npos) << report;
}

TEST_F(ReportScenario, ReadOnlyCommandKey) {
  RegisterBrowser(Quoted(browser_) + L" \"%1\"");
  ASSERT_TRUE(RestrictKeyToRead(HKEY_LOCAL_MACHINE, kCommandKey));
  const std::string report = ExpectVerdictKept("Verdict: hands the address to the shell");
  EXPECT_NE(report.find("does not open with full rights (error 5, access denied)"),
            std::string::npos)
      << report;
}

TEST_F(ReportScenario, NoUserChoice) {
  DeleteRegTree(HKEY_CURRENT_USER, kUserChoice);
  ExpectVerdictKept(
      "Verdict: hands the address to the shell and does not wait, because there is "
      "no UserChoice key");
}

TEST_F(ReportScenario, UnquotedCommand) {
  RegisterBrowser(browser_ + L" %1");
  ExpectVerdictKept(
      "Verdict: hands the address to the shell and does not wait, because the "
      "command has no double quote");
}

// Windows 11 24H2's choice in UserChoiceLatest, with the legacy key left naming another browser.
TEST_F(ReportScenario, NewerChoiceKeyOverAStaleLegacyKey) {
  RegisterBrowser(L"\"C:\\nowhere\\legacy.exe\" \"%1\"");
  const std::wstring progId = L"WgameE2EReportLatest";
  const std::wstring commandKey = L"Software\\Classes\\" + progId + L"\\shell\\open\\command";
  SetRegText(HKEY_LOCAL_MACHINE, commandKey, L"", Quoted(browser_) + L" \"%1\"");
  const std::wstring latest = std::wstring(kUserChoice) + L"Latest";
  SetRegText(HKEY_CURRENT_USER, latest + L"\\ProgId", L"ProgId", progId);
  const std::string report = ExpectVerdictKept("Verdict: starts \"");
  DeleteRegTree(HKEY_CURRENT_USER, latest);
  DeleteRegTree(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + progId);
  for (const char* expected : {
           "UserChoiceLatest\\ProgId: exists, and opens for reading",
           "UserChoiceLatest ProgId: WgameE2EReportLatest",
           "The ProgId comes from UserChoiceLatest, so the launcher does not read UserChoice (its "
           "Progid here: WgameE2EBrowser). They differ",
           "and waits until no browser.exe is running.",
           // Told where it runs, in words support can use.
           "Windows version: ",
           "Rights: ",
           "This report is in ",
       }) {
    EXPECT_NE(report.find(expected), std::string::npos) << expected << "\n" << report;
  }
  // Its output went to a file: it must not offer the clipboard nor wait (the run would not end).
  EXPECT_EQ(report.find("clipboard"), std::string::npos) << report;
}

TEST_F(ReportScenario, BrowserAlreadyRunning) {
  const HANDLE instance = StartOpenInstance(5000);
  ASSERT_EQ(Starts(1).size(), 1u);
  RegisterBrowser(Quoted(browser_) + L" \"%1\"");
  const std::string report = ExpectVerdictKept("Verdict: starts \"");
  EXPECT_NE(report.find("Running now: browser.exe."), std::string::npos) << report;
  EXPECT_EQ(WaitForSingleObject(instance, 0), WAIT_OBJECT_0) << "the launcher outwaited it";
  CloseHandle(instance);
}

}  // namespace
