#include "launcher/browser_lookup.h"

#include "launcher/launch_state.h"
#include "tests/fake_windows/fake_test.h"

namespace {

const LaunchText kUserChoice =
    u"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoice";
const LaunchText kLatest = kUserChoice + u"Latest\\ProgId";

class BrowserLookupTest : public FakeWindowsTest {
 protected:
  void SetUp() override {
    FakeWindowsTest::SetUp();
    BrowserExe = u"stale";
    BrowserArgs = u"";
  }
};

std::vector<BYTE> Utf16(const LaunchText& text, bool terminated = true) {
  return fake::Utf16Bytes(text, terminated);
}

TEST_F(BrowserLookupTest, SplitAtTheFirstQuoteFromTheSecondCharacter) {
  struct Row {
    LaunchText command, exe, args;
  } rows[] = {
      {u"\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\" -- \"%1\"",
       u"\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\"", u" -- \"%1\""},
      {u"C:\\Browser\\browser.exe %1", u"", u"C:\\Browser\\browser.exe %1"},
      {u"C:\\Chrome\\chrome.exe \"%1\"", u"C:\\Chrome\\chrome.exe \"", u"%1\""},
      {u"\"C:\\b.exe\"", u"\"C:\\b.exe\"", u""},
      {u"\"unterminated", u"", u"\"unterminated"},
      {u"\"\"", u"\"\"", u""},
      {u"\"", u"", u"\""},
      {u"", u"", u""},
      {u"  \"C:\\b.exe\"  %1  ", u"  \"", u"C:\\b.exe\"  %1  "},  // nothing trimmed
  };
  for (const Row& row : rows) {
    SplitBrowserCommand(row.command);
    EXPECT_EQ(BrowserExe, row.exe) << fake::Narrow(row.command);
    EXPECT_EQ(BrowserArgs, row.args) << fake::Narrow(row.command);
  }
}

// One registry set-up, one lookup, what it leaves behind.
struct LookupCase {
  const char* why;
  DWORD major = 6;
  bool versionFails = false;
  bool userChoice = true;
  DWORD userChoiceGrant = KEY_ALL_ACCESS;
  bool latest = false;  // the newer key, with the rights the user has on it
  DWORD latestGrant = KEY_READ;
  DWORD latestType = REG_SZ;  // REG_NONE: the key without a value
  std::vector<BYTE> latestProgId;
  DWORD progIdType = REG_SZ;
  std::vector<BYTE> progId = Utf16(u"FirefoxURL");
  LaunchText commandKey = u"FirefoxURL\\shell\\open\\command";
  DWORD commandGrant = KEY_ALL_ACCESS;
  DWORD commandType = REG_SZ;  // REG_NONE: no command value at all
  std::vector<BYTE> command = Utf16(u"\"C:\\Firefox\\firefox.exe\" -- \"%1\"");
  HRESULT shellStatus = E_INVALIDARG;  // Windows before 10 by default
  LaunchText shellProgId;
  bool keysUnread = false;  // the shell's answer was taken: no choice key is opened
  bool shlwapi = true;
  std::string missingExport;
  LaunchText exe = u"\"C:\\Firefox\\firefox.exe\"";
  LaunchText args = u" -- \"%1\"";

  LookupCase& Major(DWORD value) {
    major = value;
    return *this;
  }
  LookupCase& VersionFails() {
    versionFails = true;
    return *this;
  }
  LookupCase& NoUserChoice() {
    userChoice = false;
    return *this;
  }
  LookupCase& UserChoiceGrant(DWORD grant) {
    userChoiceGrant = grant;
    return *this;
  }
  LookupCase& Latest(DWORD type, std::vector<BYTE> bytes, DWORD grant = KEY_READ) {
    latest = true;
    latestType = type;
    latestProgId = std::move(bytes);
    latestGrant = grant;
    return *this;
  }
  LookupCase& ProgId(DWORD type, std::vector<BYTE> bytes) {
    progIdType = type;
    progId = std::move(bytes);
    return *this;
  }
  LookupCase& CommandKey(LaunchText key, DWORD grant = KEY_ALL_ACCESS) {
    commandKey = std::move(key);
    commandGrant = grant;
    return *this;
  }
  LookupCase& Command(DWORD type, std::vector<BYTE> bytes) {
    commandType = type;
    command = std::move(bytes);
    return *this;
  }
  LookupCase& Expect(LaunchText expectedExe, LaunchText expectedArgs) {
    exe = std::move(expectedExe);
    args = std::move(expectedArgs);
    return *this;
  }
  LookupCase& ExpectNothing() { return Expect(u"", u""); }
  // Windows 10 and later: the shell names the ProgId, and the keys are not read.
  LookupCase& ShellAnswers(LaunchText progId) {
    ShellFails(S_OK, std::move(progId));
    keysUnread = true;
    return *this;
  }
  LookupCase& ShellFails(HRESULT status, LaunchText progId = u"") {
    shellStatus = status;
    shellProgId = std::move(progId);
    return *this;
  }
  LookupCase& NoShell(std::string function) {
    shlwapi = !function.empty();
    missingExport = std::move(function);
    return *this;
  }
};

LookupCase Case(const char* why) {
  return LookupCase{why};
}

template <std::size_t N>
void RunLookupCases(const LookupCase (&cases)[N]) {
  for (const LookupCase& c : cases) {
    FakeWindowsTest::FreshMachine();
    fake::Machine& m = fake::M();
    m.majorVersion = c.major;
    m.versionFails = c.versionFails;
    m.shellProgIdStatus = c.shellStatus;
    m.shellProgId = c.shellProgId;
    m.shlwapiFound = c.shlwapi;
    if (!c.missingExport.empty()) m.missingExports.insert(c.missingExport);
    if (c.userChoice) {
      m.SetValue(HKEY_CURRENT_USER, kUserChoice, u"Progid", c.progIdType, c.progId);
      m.Key(HKEY_CURRENT_USER, kUserChoice).granted = c.userChoiceGrant;
    }
    if (c.latest) {
      fake::RegKey& latestKey = m.Key(HKEY_CURRENT_USER, kLatest);
      latestKey.granted = c.latestGrant;
      if (c.latestType != REG_NONE)
        latestKey.values[u"ProgId"] = fake::RegValue{c.latestType, c.latestProgId};
    }
    fake::RegKey& commandKey = m.Key(HKEY_CLASSES_ROOT, c.commandKey);
    commandKey.granted = c.commandGrant;
    if (c.commandType != REG_NONE)
      commandKey.values[u""] = fake::RegValue{c.commandType, c.command};
    BrowserExe = u"stale";
    BrowserArgs = u"";

    FindDefaultBrowser();
    EXPECT_EQ(BrowserExe, c.exe) << c.why;
    EXPECT_EQ(BrowserArgs, c.args) << c.why;
    EXPECT_LE(m.OpenRegistryHandles(), 1u) << c.why << ": only the last key stays open";
    for (const fake::RegOpenCall& call : m.regOpens) {
      if (call.subKey == kLatest || call.subKey == kUserChoice) {
        EXPECT_EQ(call.desired, 0x00020009u) << c.why << ": a choice key is only read";
        EXPECT_FALSE(c.keysUnread) << c.why << ": a choice key read despite the shell's answer";
      }
    }
    EXPECT_EQ(m.librariesLoaded, 0) << c.why << ": shlwapi.dll is let go";
  }
}

TEST_F(BrowserLookupTest, Routes) {
  const LaunchText oldKey = u"http\\shell\\open\\command";
  std::vector<BYTE> oddCommand = Utf16(u"\"C:\\b.exe\" %1", false);
  oddCommand.push_back('x');
  const LookupCase cases[] = {
      Case("new route, quoted path with arguments"),
      Case("old route: the same command, lower-cased")
          .Major(5)
          .CommandKey(oldKey)
          .Command(REG_SZ, Utf16(u"\"C:\\Firefox\\FireFox.EXE\" -- \"%1\""))
          .Expect(u"\"c:\\firefox\\firefox.exe\"", u" -- \"%1\""),
      Case("old route, no .exe in any case: nothing split")
          .Major(5)
          .CommandKey(oldKey)
          .Command(REG_SZ, Utf16(u"\"C:\\Browser\\browser.EX\" \"%1\""))
          .ExpectNothing(),
      Case("new route takes a command without .exe")
          .Command(REG_SZ, Utf16(u"\"C:\\Browser\\browser.com\" \"%1\""))
          .Expect(u"\"C:\\Browser\\browser.com\"", u" \"%1\""),
      Case("unquoted path and placeholder")
          .Command(REG_SZ, Utf16(u"C:\\Browser\\browser.exe %1"))
          .Expect(u"", u"C:\\Browser\\browser.exe %1"),
      Case("unquoted path, quoted placeholder")
          .Command(REG_SZ, Utf16(u"C:\\Browser\\browser.exe \"%1\""))
          .Expect(u"C:\\Browser\\browser.exe \"", u"%1\""),
      Case("expandable command kept as stored")
          .Command(REG_EXPAND_SZ, Utf16(u"\"%ProgramFiles%\\Firefox\\firefox.exe\" \"%1\""))
          .Expect(u"\"%ProgramFiles%\\Firefox\\firefox.exe\"", u" \"%1\""),
      Case("non-text Progid with data: the lookup ends")
          .ProgId(REG_DWORD, {1, 0, 0, 0})
          .ExpectNothing(),
      Case("non-text Progid without data reads as empty: key \\shell\\open\\command")
          .ProgId(REG_BINARY, {})
          .CommandKey(u"shell\\open\\command"),
      Case("empty Progid string").ProgId(REG_SZ, Utf16(u"")).CommandKey(u"shell\\open\\command"),
      Case("non-text command: the lookup ends").Command(REG_BINARY, {1, 2}).ExpectNothing(),
      Case("command key the user may not write counts as not found")
          .CommandKey(u"FirefoxURL\\shell\\open\\command", KEY_READ)
          .ExpectNothing(),
      Case("no UserChoice key").NoUserChoice().ExpectNothing(),
      Case("GetVersionExW fails").VersionFails().ExpectNothing(),
      Case("old route ignores UserChoice").Major(5).ExpectNothing(),
      Case("command without terminator, odd byte count")
          .Command(REG_SZ, oddCommand)
          .Expect(u"\"C:\\b.exe\"", u" %1"),
      Case("missing command value reads as empty: two empty parts")
          .Command(REG_NONE, {})
          .ExpectNothing(),
  };

  RunLookupCases(cases);
}

TEST_F(BrowserLookupTest, NewerChoiceKeyFirstAndTheLegacyKeyAsItsFallback) {
  const LaunchText edgeKey = u"MSEdgeHTM\\shell\\open\\command";
  const LaunchText edgeExe = u"\"C:\\Edge\\msedge.exe\"";
  const LaunchText edgeArgs = u" --single-argument %1";
  const LookupCase cases[] = {
      Case("the newer key wins over a legacy key naming another browser")
          .Latest(REG_SZ, Utf16(u"MSEdgeHTM"))
          .CommandKey(edgeKey)
          .Command(REG_SZ, Utf16(edgeExe + edgeArgs))
          .Expect(edgeExe, edgeArgs),
      Case("the newer key alone")
          .NoUserChoice()
          .Latest(REG_SZ, Utf16(u"MSEdgeHTM"))
          .CommandKey(edgeKey)
          .Command(REG_SZ, Utf16(edgeExe + edgeArgs))
          .Expect(edgeExe, edgeArgs),
      Case("a newer key the user may only read is used")
          .Latest(REG_SZ, Utf16(u"MSEdgeHTM"),
                  KEY_QUERY_VALUE | STANDARD_RIGHTS_READ | KEY_ENUMERATE_SUB_KEYS)
          .CommandKey(edgeKey)
          .Command(REG_SZ, Utf16(edgeExe + edgeArgs))
          .Expect(edgeExe, edgeArgs),
      Case("newer key missing: the legacy key"),
      Case("newer key not readable: the legacy key").Latest(REG_SZ, Utf16(u"MSEdgeHTM"), 0),
      Case("newer key without a value: the legacy key").Latest(REG_NONE, {}),
      Case("newer ProgId empty: the legacy key").Latest(REG_SZ, Utf16(u"")),
      Case("newer ProgId not text: the legacy key, the lookup goes on")
          .Latest(REG_DWORD, {1, 0, 0, 0}),
      Case("newer ProgId not text and without data: the legacy key").Latest(REG_BINARY, {}),
      Case("a failed newer key and no legacy key: nothing")
          .Latest(REG_DWORD, {1, 0, 0, 0})
          .NoUserChoice()
          .ExpectNothing(),
      Case("the newer key's browser may not be opened with full rights: nothing, as for the legacy")
          .Latest(REG_SZ, Utf16(u"MSEdgeHTM"))
          .CommandKey(edgeKey, KEY_READ)
          .Command(REG_SZ, Utf16(edgeExe + edgeArgs))
          .ExpectNothing(),
      Case("old systems never read the newer key")
          .Major(5)
          .NoUserChoice()
          .Latest(REG_SZ, Utf16(u"MSEdgeHTM"))
          .CommandKey(u"http\\shell\\open\\command")
          .Expect(u"\"c:\\firefox\\firefox.exe\"", u" -- \"%1\""),
  };
  RunLookupCases(cases);
  // The last case took the old systems' route: it never opened the newer key.
  for (const fake::RegOpenCall& call : machine.regOpens) {
    EXPECT_NE(call.subKey, kLatest) << "opened on the old systems' route";
  }
}

// Windows 10 and later answer which ProgId opens http links; the choice keys only stand in for
// that answer where Windows gives none.
TEST_F(BrowserLookupTest, WindowsOwnAnswerFirstAndTheChoiceKeysAsItsFallback) {
  const LaunchText chromeKey = u"ChromeHTML\\shell\\open\\command";
  const LaunchText chromeExe = u"\"C:\\Chrome\\chrome.exe\"";
  const LaunchText chromeArgs = u" --single-argument %1";
  const LaunchText edgeKey = u"MSEdgeHTM\\shell\\open\\command";
  const LaunchText longProgId = u"AppX" + LaunchText(200, u'q');
  const LookupCase cases[] = {
      Case("Windows' answer while both keys name other browsers")
          .Latest(REG_SZ, Utf16(u"MSEdgeHTM"))
          .ShellAnswers(u"ChromeHTML")
          .CommandKey(chromeKey)
          .Command(REG_SZ, Utf16(chromeExe + chromeArgs))
          .Expect(chromeExe, chromeArgs),
      Case("Windows' answer whose command key is only readable: the shell's route")
          .ShellAnswers(u"ChromeHTML")
          .CommandKey(chromeKey, KEY_READ)
          .Command(REG_SZ, Utf16(chromeExe + chromeArgs))
          .ExpectNothing(),
      Case("an answer longer than the first buffer")
          .ShellAnswers(longProgId)
          .CommandKey(longProgId + u"\\shell\\open\\command"),
      Case("before Windows 10 (E_INVALIDARG): the newer key, then the legacy")
          .Latest(REG_SZ, Utf16(u"MSEdgeHTM"))
          .CommandKey(edgeKey)
          .Command(REG_SZ, Utf16(u"\"C:\\Edge\\msedge.exe\" %1"))
          .Expect(u"\"C:\\Edge\\msedge.exe\"", u" %1"),
      Case("Wine (E_NOTIMPL): the legacy key").ShellFails(E_NOTIMPL),
      Case("an empty answer: the keys").ShellFails(S_OK, u""),
      Case("an answer past any sensible length: the keys")
          .ShellFails(S_OK, LaunchText(40000, u'x')),
      Case("no AssocQueryStringW: the keys").NoShell("AssocQueryStringW"),
      Case("no shlwapi.dll: the keys").NoShell(""),
      Case("older systems never ask")
          .Major(5)
          .ShellAnswers(u"ChromeHTML")
          .CommandKey(u"http\\shell\\open\\command")
          .Expect(u"\"c:\\firefox\\firefox.exe\"", u" -- \"%1\""),
  };
  RunLookupCases(cases);
  EXPECT_EQ(machine.shellQueries, 0) << "asked on the old systems' route";
}

// Windows guards the choice keys against writing; the command key still needs full rights, which
// decide whether the launcher waits.
TEST_F(BrowserLookupTest, LegacyChoiceKeyTheUserMayOnlyRead) {
  const DWORD readOnly = KEY_READ;
  const LookupCase cases[] = {
      Case("read-only legacy key: its browser is found").UserChoiceGrant(readOnly),
      Case("read-only legacy key, read-only command key: nothing, the shell's route")
          .UserChoiceGrant(readOnly)
          .CommandKey(u"FirefoxURL\\shell\\open\\command", KEY_READ)
          .ExpectNothing(),
      Case("legacy key not even readable: nothing").UserChoiceGrant(0).ExpectNothing(),
      Case("read-only legacy key, non-text Progid: the lookup ends")
          .UserChoiceGrant(readOnly)
          .ProgId(REG_DWORD, {1, 0, 0, 0})
          .ExpectNothing(),
      Case("read-only legacy key, empty Progid flows on")
          .UserChoiceGrant(readOnly)
          .ProgId(REG_SZ, Utf16(u""))
          .CommandKey(u"shell\\open\\command"),
  };
  RunLookupCases(cases);
}

TEST_F(BrowserLookupTest, ChoiceKeysOpenForReadingOnlyAndTheCommandKeyWithFullRights) {
  machine.SetText(HKEY_CURRENT_USER, kUserChoice, u"Progid", u"ChromeHTML");
  machine.SetText(HKEY_CLASSES_ROOT, u"ChromeHTML\\shell\\open\\command", u"",
                  u"\"C:\\Chrome\\chrome.exe\" --single-argument %1");
  FindDefaultBrowser();
  std::vector<std::pair<LaunchText, DWORD>> opens;
  for (const fake::RegOpenCall& call : machine.regOpens)
    opens.emplace_back(call.subKey, call.desired);
  const std::vector<std::pair<LaunchText, DWORD>> expected{
      {kLatest, 0x00020009u},
      {kUserChoice, 0x00020009u},
      {u"ChromeHTML\\shell\\open\\command", 0x00020009u},
      {u"ChromeHTML\\shell\\open\\command", static_cast<DWORD>(KEY_ALL_ACCESS)},
  };
  EXPECT_EQ(opens, expected);
  EXPECT_EQ(BrowserArgs, u" --single-argument %1");
  EXPECT_EQ(machine.OpenRegistryHandles(), 1u) << "the command key stays open";
}

TEST_F(BrowserLookupTest, HugeCommandIsSplitWhole) {
  const LaunchText args = u" " + LaunchText(40000, u'a') + u" \"%1\"";
  machine.SetText(HKEY_CURRENT_USER, kUserChoice, u"Progid", u"Big");
  machine.SetText(HKEY_CLASSES_ROOT, u"Big\\shell\\open\\command", u"", u"\"C:\\big.exe\"" + args);
  FindDefaultBrowser();
  EXPECT_EQ(BrowserExe, u"\"C:\\big.exe\"");
  EXPECT_EQ(BrowserArgs, args);
}

}  // namespace
