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
    fake::Reset();
    for (const LaunchText& image : row.running) fake::M().AddProcess(image);
    EXPECT_EQ(IsProcessRunning(row.name), row.expected) << row.why;
    EXPECT_EQ(fake::M().OpenSnapshots(), 0u) << row.why;
  }
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

  fake::Reset();
  ForgetToolhelpBinding();
  fake::M().kernel32Found = false;
  fake::M().AddProcess(u"opera.exe");
  EXPECT_FALSE(IsProcessRunning(u"opera.exe"));
  EXPECT_EQ(fake::M().nullHandleCloses, 1) << "the null snapshot reaches CloseHandle";
}

}  // namespace
