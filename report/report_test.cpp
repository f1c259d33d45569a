#include "report/report.h"

#include "launcher/browser_lookup.h"
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
  // The report on a fresh machine where Firefox is the user's choice, as `setUp` changes it.
  LaunchText ReportOn(const std::function<void(fake::Machine&)>& setUp) {
    FreshMachine();
    ChooseFirefox();
    setUp(machine);
    return Report();
  }
  static void RemoveUserChoice(fake::Machine& m) {
    m.Key(HKEY_CURRENT_USER, kUserChoice.substr(0, kUserChoice.rfind(u'\\')))
        .subkeys.erase(u"UserChoice");
  }
  void ChooseFirefox() {
    machine.SetText(HKEY_CURRENT_USER, kUserChoice, u"Progid", u"FirefoxURL");
    machine.SetText(HKEY_CLASSES_ROOT, u"FirefoxURL\\shell\\open\\command", u"",
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
      {"no UserChoice", RemoveUserChoice, u"because there is no UserChoice key"},
      {"UserChoice not readable",
       [](fake::Machine& m) { m.Key(HKEY_CURRENT_USER, kUserChoice).granted = 0; },
       u"because the UserChoice key does not open for reading (error 5, access denied)"},
      {"UserChoice guarded against writing",
       [](fake::Machine& m) {
         m.AddFile(kFirefox);
         m.Key(HKEY_CURRENT_USER, kUserChoice).granted = KEY_READ;
       },
       u"Verdict: starts \"C:\\Firefox\\firefox.exe\" and waits until no firefox.exe is running."},
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
    const LaunchText report = ReportOn(row.setUp);
    EXPECT_NE(report.find(row.verdict), LaunchText::npos) << row.why << "\n"
                                                          << fake::Narrow(report);
    EXPECT_EQ(report.find(u"Verdict:"), report.rfind(u"Verdict:")) << row.why << ": one verdict";
    EXPECT_TRUE(machine.shellCalls.empty()) << row.why << ": the report starts nothing";
    EXPECT_TRUE(machine.sleeps.empty()) << row.why;
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
                      u": exists, and opens for reading (the launcher only reads this key).\r\n"
                      u"UserChoice ProgId"),
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

// Support must see what the launcher itself cannot: a guard on the choice key, and browsers of
// other users signed in on the same PC.
TEST_F(ReportTest, TellsAGuardedChoiceKeyAndBrowsersOfOtherSessions) {
  ChooseFirefox();
  machine.Key(HKEY_CURRENT_USER, kUserChoice).granted = KEY_READ;
  machine.AddFile(kFirefox);
  machine.AddOtherUsersProcess(u"FIREFOX.EXE", 2);
  machine.AddProcess(u"firefox.exe");
  machine.AddOtherUsersProcess(u"firefox.exe", 3);
  const LaunchText report = Report();
  for (const LaunchText& expected : {
           LaunchText(u"It does not open with full rights (error 5, access denied): Windows guards "
                      u"the user's choice against writing"),
           LaunchText(u"Running now: firefox.exe. A browser"),
           LaunchText(u"Running in other sessions, not counted: FIREFOX.EXE (session 2), "
                      u"firefox.exe (session 3). These belong to another sign-in on this PC, "
                      u"Remote Desktop, or a service;"),
           LaunchText(u"Verdict: starts \"C:\\Firefox\\firefox.exe\" and waits"),
       }) {
    EXPECT_NE(report.find(expected), LaunchText::npos) << fake::Narrow(expected) << "\n"
                                                       << fake::Narrow(report);
  }
  EXPECT_EQ(machine.OpenRegistryHandles(), 1u) << "the report's own probe is closed";
}

// Support must see which of the two choice keys decided, and why the other did not.
TEST_F(ReportTest, TellsWhichChoiceKeyGaveTheProgIdAndWhyNotTheOther) {
  const LaunchText latest = kUserChoice + u"Latest\\ProgId";
  struct Row {
    const char* why;
    std::function<void(fake::Machine&)> setUp;
    LaunchText expected;
  } rows[] = {
      {"both keys, differing",
       [&](fake::Machine& m) { m.SetText(HKEY_CURRENT_USER, latest, u"ProgId", u"MSEdgeHTM"); },
       u"The ProgId comes from UserChoiceLatest, so the launcher does not read UserChoice (its "
       u"Progid here: FirefoxURL). They differ: Settings writes only UserChoiceLatest"},
      {"the newer key alone",
       [&](fake::Machine& m) {
         m.SetText(HKEY_CURRENT_USER, latest, u"ProgId", u"MSEdgeHTM");
         RemoveUserChoice(m);
       },
       u"does not read UserChoice (which does not exist here)."},
      {"no newer key", [](fake::Machine&) {},
       u"UserChoiceLatest gives no ProgId (the key does not exist), so the launcher reads "
       u"UserChoice"},
      {"newer key unreadable",
       [&](fake::Machine& m) {
         m.SetText(HKEY_CURRENT_USER, latest, u"ProgId", u"MSEdgeHTM");
         m.Key(HKEY_CURRENT_USER, latest).granted = 0;
       },
       u"(the key does not open for reading (error 5, access denied))"},
      {"newer ProgId empty",
       [&](fake::Machine& m) { m.SetText(HKEY_CURRENT_USER, latest, u"ProgId", u""); },
       u"(its ProgId is empty or missing), so the launcher reads UserChoice"},
      {"newer ProgId not text",
       [&](fake::Machine& m) {
         m.SetValue(HKEY_CURRENT_USER, latest, u"ProgId", REG_DWORD, {1, 0, 0, 0});
       },
       u"(its ProgId is not text (Invalid data type for 'ProgId')), so the launcher reads"},
      {"neither key", RemoveUserChoice,
       u"because there is no UserChoice key, and UserChoiceLatest gives no ProgId (the key does "
       u"not exist): no browser is chosen"},
  };
  for (const Row& row : rows) {
    const LaunchText report = ReportOn(row.setUp);
    EXPECT_NE(report.find(row.expected), LaunchText::npos) << row.why << "\n"
                                                           << fake::Narrow(report);
    // What the report reads beside the lookup, it closes: it leaves open what the lookup leaves.
    const std::size_t afterReport = machine.OpenRegistryHandles();
    FreshMachine();
    ChooseFirefox();
    row.setUp(machine);
    FindDefaultBrowser();
    EXPECT_EQ(afterReport, machine.OpenRegistryHandles()) << row.why;
  }
}

// Windows' own answer decides; support must see where the keys disagree with it, and whether the
// shell's own command leads to the program the launcher would start.
TEST_F(ReportTest, TellsWindowsOwnAnswerBesideTheChoiceKeysAndTheShellsCommand) {
  const LaunchText latest = kUserChoice + u"Latest\\ProgId";
  const auto answer = [latest](const LaunchText& shell, const LaunchText& newer) {
    return [=](fake::Machine& m) {
      m.shellProgIdStatus = S_OK;
      m.shellProgId = shell;
      if (!newer.empty()) m.SetText(HKEY_CURRENT_USER, latest, u"ProgId", newer);
      m.SetText(HKEY_CLASSES_ROOT, u"ChromeHTML\\shell\\open\\command", u"",
                u"\"C:\\Chrome\\chrome.exe\" %1");
    };
  };
  struct Row {
    const char* why;
    std::function<void(fake::Machine&)> setUp;
    LaunchText expected;
  } rows[] = {
      {"Wine", [](fake::Machine& m) { m.shellProgIdStatus = E_NOTIMPL; },
       u"Windows' answer for http links: no answer (0x80004001, not implemented, as under Wine), "
       u"so the launcher reads the choice keys."},
      {"the newer key stale, as reported on 25H2", answer(u"FirefoxURL", u"MSEdgeHTM"),
       u"UserChoiceLatest ProgId: MSEdgeHTM; UserChoice ProgId: FirefoxURL.\r\nUserChoiceLatest "
       u"differs from Windows' answer. Windows uses UserChoice;"},
      {"both keys agree with the answer: nothing differs", answer(u"FirefoxURL", u"FirefoxURL"),
       u"UserChoiceLatest ProgId: FirefoxURL; UserChoice ProgId: FirefoxURL.\r\nKey "
       u"HKEY_CLASSES_ROOT\\FirefoxURL"},
      {"the legacy key stale", answer(u"MSEdgeHTM", u"MSEdgeHTM"),
       u"UserChoice differs from Windows' answer. Windows uses UserChoiceLatest;"},
      {"a choice Windows ignored", answer(u"ChromeHTML", u"MSEdgeHTM"),
       u"ProgId ChromeHTML. The launcher follows it and does not read the choice keys.\r\n"
       u"UserChoiceLatest ProgId: MSEdgeHTM; UserChoice ProgId: FirefoxURL.\r\nBoth keys differ "
       u"from Windows' answer. Windows uses neither key"},
      {"the verdict follows Windows' answer", answer(u"ChromeHTML", u""),
       u"Verdict: tries to start \"C:\\Chrome\\chrome.exe\""},
      {"the shell's command names the same program",
       [](fake::Machine& m) { m.shellCommand = u"\"c:\\firefox\\FIREFOX.exe\" -url \"%1\""; },
       u"It names the same program as the command the launcher read."},
      {"the shell's command names another",
       [](fake::Machine& m) { m.shellCommand = u"C:\\Edge\\msedge.exe %1"; },
       u"It names another program (C:\\Edge\\msedge.exe) than the command the launcher read "
       u"(C:\\Firefox\\firefox.exe)."},
  };
  for (const Row& row : rows) {
    const LaunchText report = ReportOn(row.setUp);
    EXPECT_NE(report.find(row.expected), LaunchText::npos) << row.why << "\n"
                                                           << fake::Narrow(report);
    EXPECT_EQ(machine.librariesLoaded, 0) << row.why;
  }
}

TEST_F(ReportTest, TellsTheRealVersionAndWhetherItRunsWithAdministratorRights) {
  ChooseFirefox();
  machine.Key(HKEY_LOCAL_MACHINE, u"Software\\Classes").granted = KEY_READ;
  LaunchUrl.clear();
  LaunchText report = LauncherReport(RealWindowsVersion{true, 10, 0, 26100});
  EXPECT_NE(report.find(u"Windows version: 10.0 build 26100 ("), LaunchText::npos);
  EXPECT_NE(report.find(u"The launcher sees major version 6,"), LaunchText::npos);
  EXPECT_NE(report.find(u"Rights: standard;"), LaunchText::npos) << fake::Narrow(report);

  machine.Key(HKEY_LOCAL_MACHINE, u"Software\\Classes").granted = KEY_ALL_ACCESS;
  report = Report();
  EXPECT_NE(report.find(u"Windows version: not known"), LaunchText::npos);
  EXPECT_NE(report.find(u"Rights: this report runs elevated or as an administrator"),
            LaunchText::npos)
      << fake::Narrow(report);
}

// What support gets pasted is what the player saw, byte for byte; a clipboard held a moment by
// another program is waited for; one that cannot be had, or that refuses the text once emptied,
// keeps what it held; and nothing is left behind either way.
TEST_F(ReportTest, CopiesExactlyItsTextToTheClipboard) {
  const LaunchText report = ReportOn([](fake::Machine&) {});
  struct Row {
    const char* why;
    LaunchText text;
    fake::Time busyUntil;
    bool refused;
    bool placed;
  } rows[] = {
      {"the report", report, 0, false, true},
      {"non-ASCII names and a long text", LaunchText(70000, u'\u00E9') + u"\r\n", 0, false, true},
      {"clipboard history holds it for a moment", report, 400, false, true},
      {"another program keeps holding it", report, fake::kForever, false, false},
      {"the text refused once the clipboard is emptied", report, 0, true, false},
  };
  const std::map<UINT, std::vector<BYTE>> before = {
      {1, {'o', 'l', 'd', 0}},      // CF_TEXT
      {0xC0DE, {'<', 'b', '>', 0}}  // a registered format, such as HTML
  };
  for (const Row& row : rows) {
    FreshMachine();
    machine.clipboard = before;
    machine.clipboardBusyUntil = row.busyUntil;
    if (row.refused) machine.clipboardRefuses.insert(CF_UNICODETEXT);
    EXPECT_EQ(CopyToClipboard(row.text), row.placed) << row.why;
    if (!row.placed) {
      EXPECT_EQ(machine.clipboard, before) << row.why << ": the clipboard keeps what it held";
    } else {
      EXPECT_EQ(machine.clipboard.size(), 1u) << row.why << ": the report alone";
      EXPECT_EQ(machine.clipboard[CF_UNICODETEXT], fake::Utf16Bytes(row.text, true)) << row.why;
    }
    EXPECT_FALSE(machine.clipboardOpen) << row.why;
    EXPECT_TRUE(machine.globals.empty()) << row.why << ": its memory freed or handed over";
    EXPECT_TRUE(machine.windows.empty()) << row.why << ": its window destroyed";
  }
}

TEST_F(ReportTest, WaitsForEnterOnlyInAConsoleOfItsOwn) {
  struct Row {
    const char* why;
    bool console;
    DWORD processes;
    bool cursorAtOrigin;
    bool waits;
  } rows[] = {
      {"double-clicked: a console of its own", true, 1, true, true},
      {"own console, cursor moved by something else", true, 1, false, true},
      {"from a command prompt", true, 2, false, false},
      {"from a cleared command prompt", true, 2, true, false},
      {"output redirected", false, 1, true, false},
      {"Windows 2000, fresh console", true, 0, true, true},
      {"Windows 2000, command prompt", true, 0, false, false},
      {"Windows 2000, redirected", false, 0, true, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(WaitsForEnter(row.console, row.processes, row.cursorAtOrigin), row.waits) << row.why;
  }
}

}  // namespace
