#include "launcher/launcher.h"

#include "launcher/launch_state.h"
#include "tests/fake_windows/fake_test.h"

namespace {

class LauncherTest : public FakeWindowsTest {
 protected:
  // Runs the whole launcher on the fake machine and returns its exit code.
  unsigned Run() {
    LaunchUrl.clear();
    BrowserExe.clear();
    BrowserArgs.clear();
    QuitRequested = false;
    try {
      LauncherMain();
    } catch (const fake::ProcessExit& exit) {
      return exit.code;
    }
  }

  std::vector<LaunchText> Opened() const {
    std::vector<LaunchText> files;
    for (const fake::ShellCall& call : machine.shellCalls) files.push_back(call.file);
    return files;
  }
};

const LaunchText kUrl = u"https://www.wgame.example/index.php?id=304&r=720";

TEST_F(LauncherTest, AddressHasTheFixedPathAndQuery) {
  const LaunchText url = kLandingPageUrl;
  EXPECT_EQ(url.rfind(u"https://", 0), 0u);
  EXPECT_EQ(url.substr(url.find(u'/', 8)), u"/index.php?id=304&r=720");
}

TEST_F(LauncherTest, WithoutABrowserTheAddressGoesToTheShellAndNothingWaits) {
  EXPECT_EQ(Run(), 0u);
  ASSERT_FALSE(machine.shellCalls.empty());
  const fake::ShellCall& open = machine.shellCalls[0];
  EXPECT_EQ(open.api, "ShellExecuteW");
  EXPECT_EQ(open.owner, nullptr);
  EXPECT_FALSE(open.verbNull);
  EXPECT_EQ(open.verb, u"open");
  EXPECT_EQ(open.file, kUrl);
  EXPECT_FALSE(open.paramsNull);
  EXPECT_EQ(open.params, u"");
  EXPECT_FALSE(open.dirNull);
  EXPECT_EQ(open.dir, u"");
  EXPECT_EQ(open.show, SW_SHOWNORMAL);
  EXPECT_TRUE(machine.sleeps.empty());
  EXPECT_EQ(machine.dllSearchCalls, std::vector<std::string>{"SetDefaultDllDirectories 2048"});
}

TEST_F(LauncherTest, FollowUpsAreChosenByWhatExistsInTheCurrentDirectory) {
  struct Row {
    const char* name;
    std::vector<LaunchText> files, directories;
    std::vector<LaunchText> opened;  // after the address
  } rows[] = {
      {"nothing there", {}, {}, {}},
      {"lnk only", {u"play.lnk"}, {}, {u"play.lnk"}},
      {"url only", {u"play.url"}, {}, {u"play.url"}},
      {"lnk wins over url", {u"play.lnk", u"play.url"}, {}, {u"play.lnk"}},
      {"companion alone", {u"fscommand\\wgame.exe"}, {}, {u"fscommand\\wgame.exe"}},
      {"all three",
       {u"play.url", u"fscommand\\wgame.exe", u"play.lnk"},
       {},
       {u"play.lnk", u"fscommand\\wgame.exe"}},
      {"directory named play.lnk", {u"play.url"}, {u"play.lnk"}, {u"play.url"}},
      {"directories only", {}, {u"play.lnk", u"play.url", u"fscommand\\wgame.exe"}, {}},
      {"companion folder without the program", {}, {u"fscommand"}, {}},
  };
  for (const Row& row : rows) {
    FreshMachine();
    fake::Machine& m = machine;
    for (const LaunchText& f : row.files) m.AddFile(f);
    for (const LaunchText& d : row.directories) m.AddDirectory(d);
    EXPECT_EQ(Run(), 0u) << row.name;
    std::vector<LaunchText> expected{kUrl};
    expected.insert(expected.end(), row.opened.begin(), row.opened.end());
    std::vector<LaunchText> opened;
    for (const fake::ShellCall& call : m.shellCalls) {
      opened.push_back(call.file);
      EXPECT_EQ(call.verb, u"open") << row.name;
      EXPECT_EQ(call.params, u"") << row.name;
      EXPECT_EQ(call.dir, u"") << row.name;
    }
    EXPECT_EQ(opened, expected) << row.name;
  }
}

TEST_F(LauncherTest, FollowUpsBesideTheExecutableButNotInTheCurrentDirectoryAreNotOpened) {
  machine.AddFile(u"C:\\Program Files\\wgame\\play.lnk");
  machine.AddFile(u"C:\\Program Files\\wgame\\fscommand\\wgame.exe");
  machine.currentDirectory = u"C:\\Users\\player";
  machine.AddDirectory(machine.currentDirectory);
  EXPECT_EQ(Run(), 0u);
  EXPECT_EQ(Opened(), std::vector<LaunchText>{kUrl});
}

// The user's http handler, as the lookup finds it.
void RegisterBrowser(fake::Machine& m, const LaunchText& command) {
  m.SetText(HKEY_CURRENT_USER,
            u"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoice",
            u"Progid", u"TestBrowserURL");
  m.SetText(HKEY_CLASSES_ROOT, u"TestBrowserURL\\shell\\open\\command", u"", command);
}

const LaunchText kBrowser = u"\"C:\\Browser\\browser.exe\"";

TEST_F(LauncherTest, AddressGoesIntoTheBrowsersOwnCommandTemplate) {
  struct Row {
    LaunchText templateArgs, expected;
  } rows[] = {
      {u" -- \"%1\"", u" -- \"" + kUrl + u"\""},
      {u" -a %1 -b \"%1\"", u" -a " + kUrl + u" -b \"" + kUrl + u"\""},
      {u" --new-window", kUrl},  // no placeholder: the address alone
      {u"", kUrl},
  };
  for (const Row& row : rows) {
    FreshMachine();
    RegisterBrowser(machine, kBrowser + row.templateArgs);
    machine.onStart[kBrowser] = fake::StartBehaviour::Spawn(u"browser.exe", 10);
    EXPECT_EQ(Run(), 0u);
    ASSERT_EQ(machine.shellCalls.size(), 1u);
    EXPECT_EQ(machine.shellCalls[0].api, "ShellExecuteExW");
    EXPECT_EQ(machine.shellCalls[0].file, kBrowser);
    EXPECT_EQ(machine.shellCalls[0].params, row.expected) << fake::Narrow(row.templateArgs);
  }
}

TEST_F(LauncherTest, FollowUpsOpenOnlyAfterTheBrowserIsGone) {
  RegisterBrowser(machine, kBrowser + u" \"%1\"");
  machine.onStart[kBrowser] = fake::StartBehaviour::Spawn(u"browser.exe", 4200);
  machine.AddFile(u"play.lnk");
  machine.AddFile(u"fscommand\\wgame.exe");
  EXPECT_EQ(Run(), 0u);
  ASSERT_EQ(machine.shellCalls.size(), 3u);
  EXPECT_EQ(machine.shellCalls[0].time, 0u);
  EXPECT_EQ(machine.shellCalls[1].file, u"play.lnk");
  EXPECT_EQ(machine.shellCalls[1].time, 5000u) << "the first poll that finds no browser";
  EXPECT_EQ(machine.shellCalls[2].file, u"fscommand\\wgame.exe");
  EXPECT_EQ(machine.shellCalls[2].time, 5000u);
}

TEST_F(LauncherTest, QuitMessageMidWaitStillOpensTheFollowUps) {
  RegisterBrowser(machine, kBrowser + u" \"%1\"");
  machine.onStart[kBrowser] = fake::StartBehaviour::Spawn(u"browser.exe", fake::kForever);
  machine.AddFile(u"play.url");
  machine.PostAt(2500, WM_QUIT);
  EXPECT_EQ(Run(), 0u);
  EXPECT_EQ(Opened(), (std::vector<LaunchText>{kBrowser, u"play.url"}));
  EXPECT_EQ(machine.shellCalls[1].time, 3000u);
}

TEST_F(LauncherTest, FailedBrowserStartOpensTheFollowUpsAtOnce) {
  RegisterBrowser(machine, kBrowser + u" \"%1\"");
  machine.onStart[kBrowser].kind = fake::StartBehaviour::kFail;
  machine.AddFile(u"play.lnk");
  EXPECT_EQ(Run(), 0u);
  EXPECT_EQ(Opened(), (std::vector<LaunchText>{kBrowser, u"play.lnk"}));
  EXPECT_TRUE(machine.sleeps.empty());
}

TEST_F(LauncherTest, CommandWithoutAQuoteAfterItsStartGoesToTheShell) {
  RegisterBrowser(machine, u"C:\\Browser\\browser.exe %1");
  machine.AddFile(u"play.lnk");
  EXPECT_EQ(Run(), 0u);
  EXPECT_EQ(BrowserArgs, u"C:\\Browser\\browser.exe " + kUrl) << "substituted all the same";
  EXPECT_EQ(Opened(), (std::vector<LaunchText>{kUrl, u"play.lnk"}));
  EXPECT_EQ(machine.shellCalls[0].api, "ShellExecuteW");
  EXPECT_TRUE(machine.sleeps.empty());
}

}  // namespace
