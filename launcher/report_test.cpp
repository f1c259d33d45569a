#include "launcher/report.h"

#include "launcher/launch_state.h"
#include "tests/fake_windows/fake_test.h"

namespace {

const LaunchText kUserChoice =
    u"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoice";
const LaunchText kFirefox = u"C:\\Firefox\\firefox.exe";

class ReportTest : public FakeWindowsTest {
 protected:
  LaunchText Report() {
    LaunchUrl.clear();
    BrowserExe.clear();
    BrowserArgs.clear();
    return LauncherReport();
  }
  static void ChooseFirefox() {
    fake::M().SetText(HKEY_CURRENT_USER, kUserChoice, u"Progid", u"FirefoxURL");
    fake::M().SetText(HKEY_CLASSES_ROOT, u"FirefoxURL\\shell\\open\\command", u"",
                      u"\"" + kFirefox + u"\" -osint -url \"%1\"");
  }
};

// The verdict is the line support reads first; each set-up reaches it by another step.
TEST_F(ReportTest, VerdictNamesTheStepThatDecided) {
  struct Row {
    const char* why;
    std::function<void(fake::Machine&)> setUp;
    LaunchText verdict;
  } rows[] = {
      {"new route, browser installed", [](fake::Machine& m) { m.AddFile(kFirefox); },
       u"Verdict: starts \"C:\\Firefox\\firefox.exe\" and waits until no firefox.exe is running."},
      {"browser executable missing", [](fake::Machine&) {},
       u"Verdict: tries to start \"C:\\Firefox\\firefox.exe\", which is not an existing file"},
      {"command key for all users",
       [](fake::Machine& m) {
         m.AddFile(kFirefox);
         m.Key(HKEY_CLASSES_ROOT, u"FirefoxURL\\shell\\open\\command").granted = KEY_READ;
       },
       u"Verdict: hands the address to the shell and does not wait, because the key "
       u"HKEY_CLASSES_ROOT\\FirefoxURL\\shell\\open\\command does not open with full rights "
       u"(error 5, access denied)"},
      {"no UserChoice", [](fake::Machine& m) { m.Key(HKEY_CURRENT_USER, kUserChoice).granted = 0; },
       u"because there is no UserChoice key"},
      {"unquoted command",
       [](fake::Machine& m) {
         m.SetText(HKEY_CLASSES_ROOT, u"FirefoxURL\\shell\\open\\command", u"", kFirefox + u" %1");
       },
       u"because the command has no double quote after its first character"},
      {"old route, .exe in capitals",
       [](fake::Machine& m) {
         m.majorVersion = 5;
         m.AddFile(u"c:\\b\\browser.exe");
         m.SetText(HKEY_CLASSES_ROOT, u"http\\shell\\open\\command", u"",
                   u"\"C:\\B\\Browser.EXE\" %1");
       },
       u"Verdict: starts \"c:\\b\\browser.exe\" and waits until no browser.exe is running."},
      {"old route without .exe",
       [](fake::Machine& m) {
         m.majorVersion = 5;
         m.SetText(HKEY_CLASSES_ROOT, u"http\\shell\\open\\command", u"", u"\"C:\\b.com\" %1");
       },
       u"because the command does not name an .exe."},
      {"non-text ProgId",
       [](fake::Machine& m) {
         m.SetValue(HKEY_CURRENT_USER, kUserChoice, u"Progid", REG_DWORD, {1, 0, 0, 0});
       },
       u"because a registry value could not be read (Invalid data type for 'Progid')."},
      {"version query fails", [](fake::Machine& m) { m.versionFails = true; },
       u"because the Windows version could not be read."},
  };
  for (const Row& row : rows) {
    fake::Reset();
    ForgetToolhelpBinding();
    ChooseFirefox();
    row.setUp(fake::M());
    const LaunchText report = Report();
    EXPECT_NE(report.find(row.verdict), LaunchText::npos) << row.why << "\n"
                                                          << fake::Narrow(report);
    EXPECT_EQ(report.find(u"Verdict:"), report.rfind(u"Verdict:")) << row.why << ": one verdict";
    EXPECT_TRUE(fake::M().shellCalls.empty()) << row.why << ": the report starts nothing";
    EXPECT_TRUE(fake::M().sleeps.empty()) << row.why;
  }
}

TEST_F(ReportTest, TellsTheKeysTheCommandAndTheRunningBrowser) {
  ChooseFirefox();
  machine.AddFile(kFirefox);
  machine.AddProcess(u"FIREFOX.EXE");
  machine.AddFile(u"play.url");
  machine.AddFile(u"fscommand\\wgame.exe");
  machine.AddDirectory(u"play.lnk");
  const LaunchText report = Report();
  for (const LaunchText& expected : {
           LaunchText(u"Key HKEY_CURRENT_USER\\" + kUserChoice +
                      u": exists, and opens with full "
                      u"rights.\r\n"),
           LaunchText(u"UserChoice ProgId: FirefoxURL\r\n"),
           LaunchText(u"Command as stored: \"C:\\Firefox\\firefox.exe\" -osint -url \"%1\"\r\n"),
           LaunchText(u"BrowserArgs after the split:  -osint -url \"%1\"\r\n"),
           LaunchText(u"BrowserArgs with the address:  -osint -url "
                      u"\"https://www.wgame.example/index.php?id=304&r=720\"\r\n"),
           LaunchText(u"Watched image name: firefox.exe"),
           LaunchText(u"Running now: FIREFOX.EXE."),
           LaunchText(u"Follow-up play.lnk: not found in this folder (as a file).\r\n"),
           LaunchText(u"Opens afterwards, in this order: play.url, fscommand\\wgame.exe.\r\n"),
       }) {
    EXPECT_NE(report.find(expected), LaunchText::npos) << fake::Narrow(expected) << "\n"
                                                       << fake::Narrow(report);
  }
  EXPECT_EQ(machine.OpenSnapshots(), 0u);
}

TEST_F(ReportTest, SaysTheLauncherDoesNotReadUserChoiceLatest) {
  machine.SetText(HKEY_CURRENT_USER, kUserChoice + u"Latest", u"ProgId", u"MSEdgeHTM");
  const LaunchText report = Report();
  EXPECT_NE(report.find(u"UserChoiceLatest exists (ProgId MSEdgeHTM). Windows 11 keeps the user's "
                        u"choice there since version 24H2; the launcher does not read it."),
            LaunchText::npos)
      << fake::Narrow(report);
  EXPECT_NE(report.find(u"because there is no UserChoice key"), LaunchText::npos);
}

}  // namespace
