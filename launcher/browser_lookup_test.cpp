#include "launcher/browser_lookup.h"

#include "launcher/launch_state.h"
#include "tests/fake_windows/fake_test.h"

namespace {

const LaunchText kUserChoice =
    u"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoice";

class BrowserLookupTest : public FakeWindowsTest {
 protected:
  void SetUp() override {
    FakeWindowsTest::SetUp();
    BrowserExe = u"stale";
    BrowserArgs = u"";
  }
};

std::vector<BYTE> Utf16(const LaunchText& text, bool terminated = true) {
  std::vector<BYTE> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<BYTE>(c & 0xFF));
    bytes.push_back(static_cast<BYTE>(c >> 8));
  }
  if (terminated) bytes.insert(bytes.end(), {0, 0});
  return bytes;
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
  DWORD progIdType = REG_SZ;
  std::vector<BYTE> progId = Utf16(u"FirefoxURL");
  DWORD commandGrant = KEY_ALL_ACCESS;
  LaunchText commandKey = u"FirefoxURL\\shell\\open\\command";
  DWORD commandType = REG_SZ;
  std::vector<BYTE> command = Utf16(u"\"C:\\Firefox\\firefox.exe\" -- \"%1\"");
  LaunchText exe = u"\"C:\\Firefox\\firefox.exe\"";
  LaunchText args = u" -- \"%1\"";
};

LookupCase Case(const char* why) {
  LookupCase c;
  c.why = why;
  return c;
}

TEST_F(BrowserLookupTest, Routes) {
  std::vector<LookupCase> cases;
  cases.push_back(Case("new route, quoted path with arguments"));
  {
    LookupCase c = Case("old route: the same command, lower-cased");
    c.major = 5;
    c.commandKey = u"http\\shell\\open\\command";
    c.command = Utf16(u"\"C:\\Firefox\\FireFox.EXE\" -- \"%1\"");
    c.exe = u"\"c:\\firefox\\firefox.exe\"";
    cases.push_back(c);
  }
  {
    LookupCase c = Case("old route, no .exe in any case: nothing split");
    c.major = 5;
    c.commandKey = u"http\\shell\\open\\command";
    c.command = Utf16(u"\"C:\\Browser\\browser.EX\" \"%1\"");
    c.exe = u"";
    c.args = u"";
    cases.push_back(c);
  }
  {
    LookupCase c = Case("new route takes a command without .exe");
    c.command = Utf16(u"\"C:\\Browser\\browser.com\" \"%1\"");
    c.exe = u"\"C:\\Browser\\browser.com\"";
    c.args = u" \"%1\"";
    cases.push_back(c);
  }
  {
    LookupCase c = Case("unquoted path and placeholder");
    c.command = Utf16(u"C:\\Browser\\browser.exe %1");
    c.exe = u"";
    c.args = u"C:\\Browser\\browser.exe %1";
    cases.push_back(c);
  }
  {
    LookupCase c = Case("unquoted path, quoted placeholder");
    c.command = Utf16(u"C:\\Browser\\browser.exe \"%1\"");
    c.exe = u"C:\\Browser\\browser.exe \"";
    c.args = u"%1\"";
    cases.push_back(c);
  }
  {
    LookupCase c = Case("expandable command kept as stored");
    c.commandType = REG_EXPAND_SZ;
    c.command = Utf16(u"\"%ProgramFiles%\\Firefox\\firefox.exe\" \"%1\"");
    c.exe = u"\"%ProgramFiles%\\Firefox\\firefox.exe\"";
    c.args = u" \"%1\"";
    cases.push_back(c);
  }
  {
    LookupCase c = Case("non-text Progid with data: the lookup ends");
    c.progIdType = REG_DWORD;
    c.progId = {1, 0, 0, 0};
    c.exe = u"";
    c.args = u"";
    cases.push_back(c);
  }
  {
    LookupCase c = Case("non-text Progid without data reads as empty: key \\shell\\open\\command");
    c.progIdType = REG_BINARY;
    c.progId = {};
    c.commandKey = u"shell\\open\\command";
    cases.push_back(c);
  }
  {
    LookupCase c = Case("empty Progid string");
    c.progId = Utf16(u"", true);
    c.commandKey = u"shell\\open\\command";
    cases.push_back(c);
  }
  {
    LookupCase c = Case("non-text command: the lookup ends");
    c.commandType = REG_BINARY;
    c.exe = u"";
    c.args = u"";
    cases.push_back(c);
  }
  {
    LookupCase c = Case("command key the user may not write counts as not found");
    c.commandGrant = KEY_READ;
    c.exe = u"";
    c.args = u"";
    cases.push_back(c);
  }
  {
    LookupCase c = Case("no UserChoice key");
    c.userChoice = false;
    c.exe = u"";
    c.args = u"";
    cases.push_back(c);
  }
  {
    LookupCase c = Case("GetVersionExW fails");
    c.versionFails = true;
    c.exe = u"";
    c.args = u"";
    cases.push_back(c);
  }
  {
    LookupCase c = Case("old route ignores UserChoice");
    c.major = 5;
    c.exe = u"";
    c.args = u"";
    cases.push_back(c);
  }
  {
    LookupCase c = Case("command without terminator, odd byte count");
    c.command = Utf16(u"\"C:\\b.exe\" %1", false);
    c.command.push_back('x');
    c.exe = u"\"C:\\b.exe\"";
    c.args = u" %1";
    cases.push_back(c);
  }
  {
    LookupCase c = Case("missing command value reads as empty: two empty parts");
    c.command.clear();
    c.commandType = REG_NONE;
    c.exe = u"";
    c.args = u"";
    cases.push_back(c);
  }

  for (const LookupCase& c : cases) {
    fake::Reset();
    fake::Machine& m = fake::M();
    m.majorVersion = c.major;
    m.versionFails = c.versionFails;
    if (c.userChoice) m.SetValue(HKEY_CURRENT_USER, kUserChoice, u"Progid", c.progIdType, c.progId);
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
  }
}

TEST_F(BrowserLookupTest, ProbesWithReadRightsAndOpensWithFullRights) {
  machine.SetText(HKEY_CURRENT_USER, kUserChoice, u"Progid", u"ChromeHTML");
  machine.SetText(HKEY_CLASSES_ROOT, u"ChromeHTML\\shell\\open\\command", u"",
                  u"\"C:\\Chrome\\chrome.exe\" --single-argument %1");
  FindDefaultBrowser();
  std::vector<std::pair<LaunchText, DWORD>> opens;
  for (const fake::RegOpenCall& call : machine.regOpens)
    opens.emplace_back(call.subKey, call.desired);
  const std::vector<std::pair<LaunchText, DWORD>> expected{
      {kUserChoice, 0x00020009u},
      {kUserChoice, static_cast<DWORD>(KEY_ALL_ACCESS)},
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
