#include "watch/process_watch.h"

#include "tests/fake_windows/fake_test.h"

namespace {

using ProcessWatchTest = FakeWindowsTest;

TEST_F(ProcessWatchTest, NameRules) {
  struct Row {
    const char* why;
    std::vector<LaunchText> running;
    LaunchText name;
    bool expected;
  } rows[] = {
      {"same name", {u"explorer.exe", u"firefox.exe"}, u"firefox.exe", true},
      {"ASCII capitals in the image", {u"FireFox.EXE"}, u"firefox.exe", true},
      {"ASCII capitals in the name", {u"firefox.exe"}, u"FIREFOX.exe", true},
      {"substring, more in front and behind", {u"xopera.exe.bak"}, u"opera.exe", true},
      {"not contained", {u"opera.ex"}, u"opera.exe", false},
      {"empty name is never found", {u"opera.exe"}, u"", false},
      {"non-ASCII capital is not folded", {u"\u00E9dge.exe"}, u"\u00C9dge.exe", false},
      {"non-ASCII same case", {u"\u00C9dge.exe"}, u"\u00C9dge.exe", true},
      {"trailing space from a stray quote", {u"chrome.exe"}, u"chrome.exe ", false},
      {"nothing running", {}, u"chrome.exe", false},
  };
  for (const Row& row : rows) {
    FreshMachine();
    for (const LaunchText& image : row.running) machine.AddProcess(image);
    EXPECT_EQ(IsProcessRunning(row.name), row.expected) << row.why;
    EXPECT_EQ(machine.OpenSnapshots(), 0u) << row.why;
  }
}

// Only the player's own session keeps the wait going: another user signed in on the same PC, or
// over Remote Desktop, runs the same browsers under the same names.
TEST_F(ProcessWatchTest, OnlyProcessesOfThePlayersSessionCount) {
  enum Windows { kToday, kNoIdToSession, kNoSessions, kListFails, kEndsBeforeTheList };
  struct Running {
    DWORD session;
    bool mayOpen;
  };
  struct Row {
    const char* why;
    std::vector<Running> running;  // firefox.exe each; the launcher is in session 1
    bool expected;
    Windows windows = kToday;
  } rows[] = {
      {"ours", {{1, true}}, true},
      {"another user's, in another session", {{2, false}}, false},
      {"ours, in another session (a second sign-in)", {{3, true}}, false},
      {"another user's first, ours after it", {{2, false}, {1, true}}, true},
      {"ours, elevated: not to be opened, its session from the system's list", {{1, false}}, true},
      {"ours, not to be opened, ended before the list was read",
       {{1, false}},
       false,
       kEndsBeforeTheList},
      {"no ProcessIdToSessionId: the system's list alone", {{2, true}}, false, kNoIdToSession},
      {"no session functions: every process counts",
       {{2, false}},
       true,
       kNoSessions},
      {"system list unreadable: a process of unknown session counts",
       {{2, false}},
       true,
       kListFails},
  };
  for (const Row& row : rows) {
    FreshMachine();
    fake::Machine& m = machine;
    if (row.windows == kNoIdToSession || row.windows == kNoSessions) {
      m.missingExports.insert("ProcessIdToSessionId");
    }
    if (row.windows == kNoSessions) m.missingExports.insert("NtQuerySystemInformation");
    if (row.windows == kListFails) m.systemInformationStatus = static_cast<LONG>(0xC0000022UL);
    for (const Running& r : row.running) {
      m.AddProcess(u"firefox.exe");
      m.processes.back().session = r.session;
      m.processes.back().mayOpen = r.mayOpen;
    }
    if (row.windows == kEndsBeforeTheList) {
      m.beforeSystemInformation = [&m] { m.processes.back().end = m.now; };
    }
    EXPECT_EQ(IsProcessRunning(u"firefox.exe"), row.expected) << row.why;
    EXPECT_LE(m.systemInformationCalls, 2)
        << row.why << ": one read for the look, one for the launcher's own session at most";
  }
}

TEST_F(ProcessWatchTest, SessionsCostNothingUntilANameMatchesAndLittleForThePlayersOwn) {
  machine.AddProcess(u"explorer.exe");
  EXPECT_FALSE(IsProcessRunning(u"firefox.exe"));
  EXPECT_EQ(machine.sessionIdCalls + machine.systemInformationCalls, 0);
  machine.AddProcess(u"firefox.exe");
  EXPECT_TRUE(IsProcessRunning(u"firefox.exe"));
  EXPECT_EQ(machine.systemInformationCalls, 0) << "the player's browser opens: no system list";
  // A busy Remote Desktop host: hundreds of other users' processes, more than the first buffer
  // holds; the player's browser runs elevated.
  for (int i = 0; i < 600; ++i) machine.AddOtherUsersProcess(u"firefox.exe", 2 + i % 9);
  machine.processes.erase(machine.processes.begin() + 1);
  machine.AddProcess(u"firefox.exe");
  machine.processes.back().mayOpen = false;
  const int opens = machine.sessionIdCalls;
  EXPECT_TRUE(IsProcessRunning(u"firefox.exe"));
  EXPECT_EQ(machine.sessionIdCalls, opens + 1) << "once the list is read, it answers the rest";
  const int calls = machine.systemInformationCalls;
  EXPECT_GE(calls, 2) << "the buffer grew";
  EXPECT_TRUE(IsProcessRunning(u"firefox.exe"));
  EXPECT_EQ(machine.systemInformationCalls, calls + 1) << "the size that sufficed is kept";
}

TEST_F(ProcessWatchTest, OwnProcessNeverCountsEvenWhenItsNameMatches) {
  machine.processes.push_back({machine.ownPid, u"launcher.exe", 0, fake::kForever});
  EXPECT_FALSE(IsProcessRunning(u"her.exe"));
  EXPECT_FALSE(IsProcessRunning(u"launcher.exe"));
  machine.AddProcess(u"launcher.exe");  // another program of the same name does
  EXPECT_TRUE(IsProcessRunning(u"launcher.exe"));
}

TEST_F(ProcessWatchTest, StopsAtTheFirstMatchAndWalksEverythingOtherwise) {
  for (const char16_t* image : {u"a.exe", u"opera.exe", u"b.exe", u"c.exe"}) {
    machine.AddProcess(image);
  }
  EXPECT_TRUE(IsProcessRunning(u"opera.exe"));
  EXPECT_EQ(machine.entriesVisited, 2);
  machine.entriesVisited = 0;
  EXPECT_FALSE(IsProcessRunning(u"chrome.exe"));
  EXPECT_EQ(machine.entriesVisited, 4);
}

TEST_F(ProcessWatchTest, UnreadableProcessListAnswersFalse) {
  machine.AddProcess(u"opera.exe");
  machine.snapshotFails = true;
  EXPECT_FALSE(IsProcessRunning(u"opera.exe"));
  EXPECT_EQ(machine.nullHandleCloses, 0) << "an invalid snapshot is not closed";

  FreshMachine();
  machine.kernel32Found = false;
  machine.AddProcess(u"opera.exe");
  EXPECT_FALSE(IsProcessRunning(u"opera.exe"));
  EXPECT_EQ(machine.nullHandleCloses, 1) << "the null snapshot reaches CloseHandle";
}

}  // namespace
