#include "installer/installation.h"

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

}  // namespace
