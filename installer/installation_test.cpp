#include "installer/installation.h"

#include <functional>

#include "tests/fake_windows/fake_test.h"

namespace {

using Entries = std::vector<LaunchText>;

const LaunchText kGame = u"C:\\Games\\Wgame Demo";

TEST(Plans, UpdateTakesOnlyWhatATrustedRecordNamesUninstallFallsBackOnItsOwnFiles) {
  const Entries own = {u"launcher.exe", u"LICENSE", u"fscommand\\wgame.exe", u"fscommand\\"};
  const Entries old = {u"launcher.exe",
                       u"license",
                       u"fscommand\\wgame.exe",
                       u"extras\\intro.txt",
                       u"extras\\deep\\a.txt",
                       u"extras\\deep\\",
                       u"extras\\",
                       u"fscommand\\"};
  const Entries ownFiles = {u"launcher.exe", u"LICENSE", u"fscommand\\wgame.exe"};
  const struct {
    RecordState state;
    RemovalPlan update, uninstall;
  } rows[] = {
      {RecordState::kTrusted,
       {{u"launcher.exe", u"LICENSE", u"fscommand\\wgame.exe", u"extras\\intro.txt",
         u"extras\\deep\\a.txt"},
        {u"extras\\deep\\", u"extras\\"}},
       {{u"launcher.exe", u"license", u"fscommand\\wgame.exe", u"extras\\intro.txt",
         u"extras\\deep\\a.txt"},
        {u"extras\\deep\\", u"extras\\", u"fscommand\\"}}},
      {RecordState::kLegacy,
       {{u"launcher.exe", u"LICENSE", u"fscommand\\wgame.exe", u"extras\\intro.txt",
         u"extras\\deep\\a.txt"},
        {u"extras\\deep\\", u"extras\\"}},
       {{u"launcher.exe", u"license", u"fscommand\\wgame.exe", u"extras\\intro.txt",
         u"extras\\deep\\a.txt"},
        {u"extras\\deep\\", u"extras\\", u"fscommand\\"}}},
      {RecordState::kUntrusted, {ownFiles, {}}, {ownFiles, {u"fscommand\\"}}},
      {RecordState::kMissing, {ownFiles, {}}, {ownFiles, {u"fscommand\\"}}},
  };
  for (const auto& row : rows) {
    // An untrusted record carries no entries; these are there to show they would not be used.
    const Record record{row.state, old};
    const RemovalPlan update = PlanUpdate(record, own);
    const RemovalPlan uninstall = PlanUninstall(record, own);
    const int state = static_cast<int>(row.state);
    EXPECT_EQ(update.files, row.update.files) << state;
    EXPECT_EQ(update.folders, row.update.folders) << state;
    EXPECT_EQ(uninstall.files, row.uninstall.files) << state;
    EXPECT_EQ(uninstall.folders, row.uninstall.folders) << state;
  }
}

class Installation : public FakeWindowsTest {
 protected:
  void Add(const LaunchText& entry, fake::FileEntry file = {}) {
    machine.AddFile(kGame + u"\\" + entry, std::move(file));
  }
  static fake::FileEntry Running() {
    fake::FileEntry file;
    file.running = true;
    return file;
  }
  Entries Below() const { return machine.Below(kGame); }
};

TEST_F(Installation, RemovesWhatThePlanNamesSettingAsideWhatRunsAndTouchingNothingElse) {
  Add(u"launcher.exe", Running());
  fake::FileEntry held;
  held.heldOpen = true;
  Add(u"LICENSE", held);
  Add(u"play.url");
  fake::FileEntry readOnly;
  readOnly.readOnly = true;
  Add(u"extras\\intro.txt", readOnly);
  Add(u"saves\\slot1.sav");
  Add(u"data\\players-own.txt");  // the record says "data" is a file
  fake::FileEntry junction;
  junction.directory = true;
  junction.reparsePoint = true;
  Add(u"linked", junction);
  Add(u"linked\\elsewhere.txt");
  Add(u"replaced-while-running\\1-launcher.exe", Running());  // an earlier update's, still running

  const RemovalPlan plan = {{u"launcher.exe", u"LICENSE", u"play.url", u"extras\\intro.txt",
                             u"data", u"linked\\elsewhere.txt", u"gone.txt", u"nofolder\\gone.txt"},
                            {u"extras\\", u"saves\\", u"linked\\"}};
  EXPECT_EQ(CarryOut(kGame, plan, true), Entries{u"LICENSE"});
  EXPECT_EQ(
      Below(),
      (Entries{u"data", u"data\\players-own.txt", u"LICENSE", u"linked", u"linked\\elsewhere.txt",
               u"replaced-while-running", u"replaced-while-running\\1-launcher.exe",
               u"replaced-while-running\\2-launcher.exe", u"saves", u"saves\\slot1.sav"}));

  // Without setting aside, a running program stays, and says so.
  Add(u"launcher.exe", Running());
  EXPECT_EQ(CarryOut(kGame, {{u"launcher.exe"}, {}}, false), Entries{u"launcher.exe"});

  // What was set aside goes once it no longer runs; the folder goes when empty.
  const LaunchText setAside = kGame + u"\\replaced-while-running\\";
  machine.files[setAside + u"1-launcher.exe"].running = false;
  EXPECT_EQ(ClearSetAside(kGame), Entries{u"replaced-while-running\\2-launcher.exe"});
  EXPECT_EQ(machine.files.count(setAside + u"1-launcher.exe"), 0u);
  machine.files[setAside + u"2-launcher.exe"].running = false;
  EXPECT_EQ(ClearSetAside(kGame), Entries{});
  EXPECT_EQ(machine.files.count(kGame + u"\\replaced-while-running"), 0u);
  EXPECT_EQ(ClearSetAside(kGame), Entries{}) << "no set-aside folder";
}

TEST_F(Installation, SetAsideFolderThatIsNotAPlainFolderIsLeftAlone) {
  fake::FileEntry junction;
  junction.directory = true;
  junction.reparsePoint = true;
  Add(u"replaced-while-running", junction);
  Add(u"replaced-while-running\\elsewhere.txt");
  Add(u"launcher.exe", Running());
  EXPECT_EQ(ClearSetAside(kGame), Entries{u"replaced-while-running"});
  EXPECT_EQ(CarryOut(kGame, {{u"launcher.exe"}, {}}, true), Entries{u"launcher.exe"});
  EXPECT_EQ(Below().size(), 3u);
}

TEST_F(Installation, RecordReadsBackWhatWasWrittenAndAFailedWriteIsNeverTrusted) {
  machine.AddDirectory(kGame);
  EXPECT_EQ(ReadRecord(kGame).state, RecordState::kMissing);
  const Entries entries = {u"launcher.exe", u"fscommand\\"};
  ASSERT_TRUE(WriteRecord(kGame, entries));
  const Record record = ReadRecord(kGame);
  EXPECT_EQ(record.state, RecordState::kTrusted);
  EXPECT_EQ(record.entries, entries);

  machine.files[kGame + u"\\installed-files.txt"].writeFails = true;
  EXPECT_FALSE(WriteRecord(kGame, entries));
  EXPECT_EQ(ReadRecord(kGame).state, RecordState::kUntrusted);

  machine.files[kGame + u"\\installed-files.txt"] = fake::FileEntry{};
  machine.files[kGame + u"\\installed-files.txt"].heldOpen = true;
  EXPECT_EQ(ReadRecord(kGame).state, RecordState::kUntrusted) << "there, but unreadable";
  EXPECT_FALSE(WriteRecord(kGame, entries));
}

TEST_F(Installation, SameFolderComparesLongFormsIgnoringCaseNotPrefixes) {
  machine.AddDirectory(kGame);
  machine.AddDirectory(kGame + u" 2");
  machine.AddDirectory(u"C:\\GAMES~1\\WGAMED~1");
  machine.longNames[u"C:\\GAMES~1\\WGAMED~1"] = kGame;
  const struct {
    LaunchText a, b;
    bool same;
  } rows[] = {
      {kGame, u"c:\\games\\WGAME DEMO\\", true},
      {kGame, kGame + u" 2", false},
      {u"C:\\Games\\Wgame", kGame, false},
      {u"C:\\GAMES~1\\WGAMED~1", kGame, true},
      {u"C:\\Gone", u"c:\\gone", true},
      {u"", u"", false},
      {kGame, u"", false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(SameFolder(row.a, row.b), row.same) << fake::Narrow(row.a + u" ~ " + row.b);
  }
}

TEST_F(Installation, RemovesOnlyTheShortcutsNamedAndOnlyShortcuts) {
  for (const LaunchText path :
       {u"C:\\Menu\\Wgame Demo.lnk", u"C:\\Desk\\Wgame Demo.lnk", u"C:\\Desk\\notes.txt",
        u"C:\\Desk\\held.lnk", u"\\\\server\\home\\Desktop\\Wgame Demo.lnk",
        u"Desk\\Wgame Demo.lnk"}) {
    machine.AddFile(path);
  }
  machine.files[u"C:\\Desk\\held.lnk"].heldOpen = true;
  EXPECT_EQ(RemoveShortcuts(u"C:\\Menu\\Wgame Demo.lnk|C:\\Desk\\Wgame Demo.lnk|"
                            u"C:\\Desk\\notes.txt|C:\\Desk\\held.lnk|C:\\Desk\\*.lnk|"
                            u"C:\\Menu\\missing.lnk|\\\\server\\home\\Desktop\\Wgame Demo.lnk|"
                            u"Desk\\Wgame Demo.lnk"),
            Entries{u"C:\\Desk\\held.lnk"});
  EXPECT_EQ(machine.Below(u"C:\\Desk"), (Entries{u"held.lnk", u"notes.txt"}));
  EXPECT_EQ(machine.Below(u"C:\\Menu"), Entries{});
  EXPECT_EQ(machine.Below(u"\\\\server\\home\\Desktop"), Entries{});
  EXPECT_EQ(machine.files.count(machine.FullPath(u"Desk\\Wgame Demo.lnk")), 1u)
      << "not a full path";
}

TEST_F(Installation, OneInstallerOfAGameAtATime) {
  EXPECT_TRUE(TakeInstallerLock(u"Wgame Demo"));
  EXPECT_FALSE(TakeInstallerLock(u"Wgame Demo"));
  EXPECT_TRUE(TakeInstallerLock(u"Another Game"));
}

using Programs = Installation;

TEST_F(Programs, AreTheOnesWhoseImageIsAnInstalledOrSetAsideFile) {
  const Entries files = {u"launcher.exe", u"launcher-report.exe", u"fscommand\\wgame.exe"};
  const struct {
    LaunchText path;
    LaunchText vista, older;  // the installed name it is told by, "" when not the installation's
  } rows[] = {
      {kGame + u"\\launcher.exe", u"launcher.exe", u"launcher.exe"},
      {u"c:\\games\\WGAME DEMO\\FSCOMMAND\\WGAME.EXE", u"wgame.exe", u"wgame.exe"},
      {u"C:\\GAMES~1\\WGAMED~1\\LAUNCH~1.EXE", u"launcher.exe", u"launcher.exe"},
      {kGame + u"\\replaced-while-running\\2-launcher.exe", u"launcher.exe", u"launcher.exe"},
      {kGame + u" 2\\launcher.exe", u"", u""},        // a sibling whose name starts alike
      {u"C:\\Games\\Wgame\\launcher.exe", u"", u""},  // a shorter folder name
      {kGame + u"\\Other\\launcher.exe", u"", u""},   // another game below this folder
      {kGame + u"\\saves\\editor.exe", u"", u""},     // the player's own program
      {kGame + u"\\replaced-while-running\\x\\a.exe", u"", u""},
      {kGame + u"\\uninstall.exe", u"", u""},  // not a file of the plan
  };
  for (bool vista : {true, false}) {
    FreshMachine();
    if (!vista) machine.missingExports.insert("QueryFullProcessImageNameW");
    machine.longNames[u"C:\\GAMES~1\\WGAMED~1\\LAUNCH~1.EXE"] = kGame + u"\\launcher.exe";
    Entries expected;
    for (const auto& row : rows) {
      machine.AddFile(row.path);  // GetLongPathNameW answers only for what exists
      machine.AddProgram(row.path);
      const LaunchText name = vista ? row.vista : row.older;
      if (!name.empty()) expected.push_back(name);
    }
    // Elevated: its image only from Vista's limited query. Another user's: not to be opened.
    machine.AddProgram(kGame + u"\\launcher-report.exe");
    machine.processes.back().elevated = true;
    if (vista) expected.push_back(u"launcher-report.exe");
    machine.AddProgram(kGame + u"\\launcher.exe");
    machine.processes.back().mayOpen = false;
    machine.ownPid = machine.AddProgram(kGame + u"\\launcher.exe");  // the caller itself

    Entries found;
    for (const InstalledProgram& program : RunningPrograms(kGame, files)) {
      found.push_back(program.name);
    }
    EXPECT_EQ(found, expected) << (vista ? "Vista on" : "before Vista");
    EXPECT_EQ(machine.openProcesses.size(), 0u) << "a process handle left open";
    EXPECT_EQ(machine.librariesLoaded, 0);
  }
}

TEST_F(Programs, AreAskedToCloseOnceThenEndedAndAnElevatedOneStopsItAll) {
  const DWORD launcher = machine.AddProgram(kGame + u"\\launcher.exe");  // no window: never asked
  const DWORD companion = machine.AddProgram(kGame + u"\\fscommand\\wgame.exe");
  machine.FindProcess(companion)->window = true;
  machine.FindProcess(companion)->closesAfter = 2000;
  const DWORD stubborn = machine.AddProgram(kGame + u"\\launcher-report.exe");
  machine.FindProcess(stubborn)->window = true;
  const DWORD gone = machine.AddProgram(kGame + u"\\old.exe", 1);
  machine.now = 10;
  const std::vector<InstalledProgram> programs = {{launcher, u"launcher.exe"},
                                                  {companion, u"wgame.exe"},
                                                  {stubborn, u"launcher-report.exe"},
                                                  {gone, u"old.exe"}};

  machine.AddProgram(kGame + u"\\elevated.exe");
  machine.processes.back().elevated = true;
  std::vector<InstalledProgram> withElevated = programs;
  withElevated.push_back({machine.processes.back().pid, u"elevated.exe"});
  EXPECT_EQ(EndPrograms(withElevated, 5000), Entries{u"elevated.exe"});
  EXPECT_TRUE(machine.postedToWindows.empty()) << "asked to close before knowing all can end";
  EXPECT_EQ(fake::Running().size(), 4u) << "ended before knowing all can end";

  EXPECT_EQ(EndPrograms(programs, 5000), Entries{});
  const std::vector<std::pair<DWORD, UINT>> asked = {{companion, WM_CLOSE}, {stubborn, WM_CLOSE}};
  EXPECT_EQ(machine.postedToWindows, asked) << "WM_CLOSE to the windows only, never WM_QUIT";
  EXPECT_EQ(machine.FindProcess(companion)->end, 2010u) << "closed by itself";
  EXPECT_EQ(machine.FindProcess(stubborn)->end, 5010u) << "ended after the one wait";
  EXPECT_EQ(machine.FindProcess(launcher)->end, 5010u);
  EXPECT_EQ(machine.now, 5010u) << "one wait of five seconds in all";
  EXPECT_EQ(machine.openProcesses.size(), 0u);
}

TEST_F(Installation, UninstallFinishesWheneverItsLastPageIsClosedUnlessInstalledAgain) {
  const LaunchText entry = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Wgame Demo";
  const struct {
    const char* what;
    std::function<void()> meanwhile;  // while the last page is open
    bool finished;
  } rows[] = {
      {"nothing", [] {}, true},
      {"installed again", [&] { Add(u"installed-files.txt"); }, false},
      {"the entry names the folder again",
       [&] { machine.SetText(HKEY_CURRENT_USER, entry, u"InstallLocation", kGame + u"\\"); },
       false},
      {"another copy's entry",
       [&] { machine.SetText(HKEY_CURRENT_USER, entry, u"InstallLocation", kGame + u" 2"); }, true},
  };
  for (const auto& row : rows) {
    FreshMachine();
    Add(u"uninstall.exe");
    const DWORD uninstaller = machine.AddProgram(kGame + u"\\uninstall.exe", 45u * 60 * 1000);
    row.meanwhile();
    EXPECT_EQ(FinishUninstall(uninstaller, kGame, u"Wgame Demo"), row.finished) << row.what;
    EXPECT_EQ(machine.now, 45u * 60 * 1000) << row.what << ": did not wait for the uninstaller";
    EXPECT_EQ(machine.files.count(kGame + u"\\uninstall.exe"), row.finished ? 0u : 1u) << row.what;
    EXPECT_EQ(machine.files.count(kGame), row.finished ? 0u : 1u) << row.what;
  }
  // Ended before the finish began, with the player's saves in the folder.
  FreshMachine();
  Add(u"uninstall.exe");
  Add(u"saves\\slot1.sav");
  EXPECT_TRUE(
      FinishUninstall(machine.AddProgram(kGame + u"\\uninstall.exe", 0), kGame, u"Wgame Demo"));
  EXPECT_EQ(Below(), (Entries{u"saves", u"saves\\slot1.sav"}));
}
}  // namespace
