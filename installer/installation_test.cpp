#include "installer/installation.h"

#include <functional>
#include <map>

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
  // With a record it can trust, whole or in the older form, the old version's files too.
  const RemovalPlan trustedUpdate = {{u"launcher.exe", u"LICENSE", u"fscommand\\wgame.exe",
                                      u"extras\\intro.txt", u"extras\\deep\\a.txt"},
                                     {u"extras\\deep\\", u"extras\\"}};
  const RemovalPlan trustedUninstall = {{u"launcher.exe", u"license", u"fscommand\\wgame.exe",
                                         u"extras\\intro.txt", u"extras\\deep\\a.txt"},
                                        {u"extras\\deep\\", u"extras\\", u"fscommand\\"}};
  const struct {
    RecordState state;
    RemovalPlan update, uninstall;
  } rows[] = {
      {RecordState::kTrusted, trustedUpdate, trustedUninstall},
      {RecordState::kLegacy, trustedUpdate, trustedUninstall},
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

TEST_F(Installation, UninstallRemovesWhatThePlanNamesAndTouchesNothingElse) {
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

  const RemovalPlan plan = {{u"launcher.exe", u"LICENSE", u"play.url", u"extras\\intro.txt",
                             u"data", u"linked\\elsewhere.txt", u"gone.txt", u"nofolder\\gone.txt"},
                            {u"extras\\", u"saves\\", u"linked\\"}};
  EXPECT_EQ(CarryOut(kGame, plan), (Entries{u"launcher.exe", u"LICENSE"}));
  EXPECT_EQ(Below(), (Entries{u"data", u"data\\players-own.txt", u"launcher.exe", u"LICENSE",
                              u"linked", u"linked\\elsewhere.txt", u"saves", u"saves\\slot1.sav"}));
}

TEST_F(Installation, SetAsideFilesGoOnceTheyNoLongerRunAndTheFolderWhenEmpty) {
  const LaunchText setAside = kGame + u"\\replaced-while-running\\";
  Add(u"replaced-while-running\\1-launcher.exe", Running());
  Add(u"replaced-while-running\\2-launcher.exe", Running());
  machine.files[setAside + u"1-launcher.exe"].running = false;
  EXPECT_EQ(ClearSetAside(kGame), Entries{u"replaced-while-running\\2-launcher.exe"});
  EXPECT_EQ(machine.files.count(setAside + u"1-launcher.exe"), 0u);
  machine.files[setAside + u"2-launcher.exe"].running = false;
  EXPECT_EQ(ClearSetAside(kGame), Entries{});
  EXPECT_EQ(machine.files.count(kGame + u"\\replaced-while-running"), 0u);
  EXPECT_EQ(ClearSetAside(kGame), Entries{}) << "no set-aside folder";
}

// 1.0 installed, its launcher waiting, the player's save beside it; 2.0's list.
class Update : public Installation {
 protected:
  void SetUp() override {
    Installation::SetUp();
    for (const LaunchText entry : {u"LICENSE", u"play.url", u"extras\\intro.txt",
                                   u"fscommand\\wgame.exe", u"uninstall.exe"}) {
      Add(entry, Content("1.0"));
    }
    fake::FileEntry launcher = Content("1.0");
    launcher.running = true;
    Add(u"launcher.exe", launcher);
    Add(u"saves\\slot1.sav", Content("level 3"));
    ASSERT_TRUE(WriteRecord(kGame, {u"launcher.exe", u"LICENSE", u"play.url", u"extras\\intro.txt",
                                    u"fscommand\\wgame.exe", u"fscommand\\", u"extras\\"}));
    before_ = State();
  }
  static fake::FileEntry Content(const std::string& text) {
    fake::FileEntry file;
    file.content.assign(text.begin(), text.end());
    return file;
  }
  // Every entry below the folder with its content ("/" for a folder), "*" after a running one.
  std::map<LaunchText, std::string> State() const {
    std::map<LaunchText, std::string> state;
    for (const LaunchText& entry : Below()) {
      const fake::FileEntry& file = machine.files.at(kGame + u"\\" + entry);
      state[entry] = file.directory ? "/" : std::string(file.content.begin(), file.content.end());
      if (file.running) state[entry] += "*";
    }
    return state;
  }
  // What 2.0's installer writes between BeginUpdate and CommitUpdate.
  void WriteNewVersion() {
    for (const LaunchText& entry : kOwn) {
      if (!IsFolderEntry(entry)) Add(entry, Content("2.0"));
    }
    Add(u"uninstall.exe", Content("2.0"));
  }
  const Entries kOwn = {u"launcher.exe", u"LICENSE",     u"play.url", u"fscommand\\wgame.exe",
                        u"maps\\a.map",  u"fscommand\\", u"maps\\"};
  std::map<LaunchText, std::string> before_;
};

TEST_F(Update, WritesTheNewVersionOverTheOldOneSetAsideAndCommitsLast) {
  const UpdateStart start = BeginUpdate(kGame, kOwn);
  EXPECT_EQ(start.old, RecordState::kTrusted);
  EXPECT_EQ(start.stayed, Entries{});
  // Every file of either version that was there is aside, the record and uninstall.exe too.
  const LaunchText aside = u"replaced-while-running\\";
  EXPECT_EQ(Below(),
            (Entries{u"extras", u"fscommand", u"installed-files.txt", u"replaced-while-running",
                     aside + u"1-installed-files.txt", aside + u"1-intro.txt",
                     aside + u"1-launcher.exe", aside + u"1-LICENSE", aside + u"1-play.url",
                     aside + u"1-uninstall.exe", aside + u"1-wgame.exe",
                     aside + u"update-journal.txt", u"saves", u"saves\\slot1.sav"}));
  const Record both = ReadRecord(kGame);
  EXPECT_EQ(both.state, RecordState::kTrusted);
  EXPECT_EQ(both.entries.size(), 9u) << "while it runs, the record names both versions' files";

  WriteNewVersion();
  EXPECT_TRUE(CommitUpdate(kGame, kOwn));
  EXPECT_EQ(ReadRecord(kGame).entries, kOwn);
  const std::map<LaunchText, std::string> after = {
      {u"fscommand", "/"},
      {u"fscommand\\wgame.exe", "2.0"},
      {u"installed-files.txt", ""},
      {u"launcher.exe", "2.0"},
      {u"LICENSE", "2.0"},
      {u"maps", "/"},
      {u"maps\\a.map", "2.0"},
      {u"play.url", "2.0"},
      {u"replaced-while-running", "/"},
      {u"replaced-while-running\\1-launcher.exe", "1.0*"},  // runs on, and goes next time
      {u"saves", "/"},
      {u"saves\\slot1.sav", "level 3"},
      {u"uninstall.exe", "2.0"}};
  std::map<LaunchText, std::string> state = State();
  state[u"installed-files.txt"] = "";
  EXPECT_EQ(state, after);
}

TEST_F(Update, ThatFailsAtAnyStepLeavesTheOldVersionAsItWas) {
  const struct {
    const char* what;
    std::function<void()> failure;  // before BeginUpdate
    std::function<void()> between;  // between BeginUpdate and the roll-back: the write that fails
    Entries stayed;                 // what BeginUpdate could not set aside
  } rows[] = {
      {"a file held open",
       [&] { machine.files[kGame + u"\\play.url"].heldOpen = true; },
       [] {},
       {u"play.url"}},
      {"the record held open",
       [&] { machine.files[kGame + u"\\installed-files.txt"].heldOpen = true; },
       [] {},
       {u"installed-files.txt"}},
      {"a new file that cannot be written",
       [] {},
       [&] {
         Add(u"launcher.exe", Content("2.0"));
         Add(u"maps\\a.map", Content("2.0"));
       },
       {}},
      {"the new uninstaller written, then the entry fails", [] {}, [&] { WriteNewVersion(); }, {}},
  };
  for (const auto& row : rows) {
    FreshMachine();
    SetUp();
    row.failure();
    const std::map<LaunchText, std::string> before = State();
    const UpdateStart start = BeginUpdate(kGame, kOwn);
    EXPECT_EQ(start.stayed, row.stayed) << row.what;
    if (start.stayed.empty()) {
      row.between();
      EXPECT_EQ(RollBackUpdate(kGame), Entries{}) << row.what;
    }
    EXPECT_EQ(State(), before) << row.what;
  }
}

TEST_F(Update, JournalLeftByACrashIsRolledBackOrFinishedByTheNextRun) {
  const LaunchText journal = kGame + u"\\replaced-while-running\\update-journal.txt";
  auto writeJournal = [&](const LaunchText& lines) {
    fake::FileEntry file = Content("");
    file.content = {0xFF, 0xFE};
    const std::vector<BYTE> units = fake::Utf16Bytes(lines, false);
    file.content.insert(file.content.end(), units.begin(), units.end());
    machine.files[journal] = file;
  };
  auto moveAside = [&](const LaunchText& entry, const LaunchText& aside) {
    ASSERT_TRUE(MoveFileW(Wide(kGame + u"\\" + entry),
                          Wide(kGame + u"\\replaced-while-running\\" + aside)));
  };
  const struct {
    const char* what;
    std::function<void()> crash;
    bool rolledBack;  // else: the files as the crash left them
  } rows[] = {
      {"while setting aside, the last line cut short",
       [&] {
         writeJournal(u"#update:1\r\nmoved|LICENSE|1-LICENSE\r\nmoved|play.u");
         moveAside(u"LICENSE", u"1-LICENSE");
       },
       true},
      {"while writing",
       [&] {
         writeJournal(
             u"#update:1\r\nmoved|LICENSE|1-LICENSE\r\nnew|LICENSE\r\n"
             u"new|maps\\a.map\r\nnew|maps\\\r\n#writing\r\n");
         moveAside(u"LICENSE", u"1-LICENSE");
         Add(u"LICENSE", Content("2.0"));
         Add(u"maps\\a.map", Content("2.0"));
       },
       true},
      {"after the commit",
       [&] {
         writeJournal(u"#update:1\r\nmoved|LICENSE|1-LICENSE\r\n#writing\r\n#committed\r\n");
         moveAside(u"LICENSE", u"1-LICENSE");
         Add(u"LICENSE", Content("2.0"));
       },
       false},
      {"a line not of ours",
       [&] { writeJournal(u"#update:1\r\nmoved|..\\..\\boot.ini|1-x\r\n#writing\r\n"); }, false},
  };
  for (const auto& row : rows) {
    FreshMachine();
    SetUp();
    machine.AddDirectory(kGame + u"\\replaced-while-running");
    row.crash();
    std::map<LaunchText, std::string> crashed = State();
    RecoverUpdate(kGame);
    EXPECT_EQ(machine.files.count(journal), 0u) << row.what;
    std::map<LaunchText, std::string> expected = row.rolledBack ? before_ : crashed;
    expected.erase(u"replaced-while-running\\update-journal.txt");
    std::map<LaunchText, std::string> state = State();
    if (!row.rolledBack) state.erase(u"replaced-while-running");
    expected.erase(u"replaced-while-running");
    EXPECT_EQ(state, expected) << row.what;
  }
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
