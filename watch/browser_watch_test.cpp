#include "watch/browser_watch.h"

#include "launcher/launch_state.h"
#include "tests/fake_windows/fake_test.h"

namespace {

class BrowserWatchTest : public FakeWindowsTest {
 protected:
  // Scripts the browser's start and returns the virtual time at which the wait ended.
  fake::Time StartAndWait(const LaunchText& exe, fake::StartBehaviour start) {
    machine.onStart[exe] = start;
    RunBrowserAndWait(exe, u"-- \"URL\"", SW_SHOWNORMAL);
    return machine.now;
  }
};

const LaunchText kFirefox = u"\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\"";

TEST_F(BrowserWatchTest, StartsTheBrowserThroughTheShellAsGiven) {
  StartAndWait(kFirefox, fake::StartBehaviour::Spawn(u"firefox.exe", 10));
  ASSERT_EQ(machine.shellCalls.size(), 1u);
  const fake::ShellCall& call = machine.shellCalls[0];
  EXPECT_EQ(call.api, "ShellExecuteExW");
  EXPECT_EQ(call.cbSize, sizeof(SHELLEXECUTEINFOW));
  EXPECT_EQ(call.mask, static_cast<DWORD>(SEE_MASK_NOCLOSEPROCESS));
  EXPECT_EQ(call.owner, nullptr);
  EXPECT_TRUE(call.verbNull) << "the default verb";
  EXPECT_EQ(call.file, kFirefox) << "quotes and all";
  EXPECT_EQ(call.params, u"-- \"URL\"");
  EXPECT_TRUE(call.dirNull);
  EXPECT_EQ(call.show, SW_SHOWNORMAL);
}

TEST_F(BrowserWatchTest, WaitEndsAtTheFirstPollAfterTheLastMatchingProcessHasGone) {
  struct Row {
    const char* why;
    fake::Time browserLife;
    std::vector<std::pair<LaunchText, fake::Time>> others;  // image, lifetime from the start
    fake::Time expectedEnd;
  } rows[] = {
      {"gone between polls", 3500, {}, 4000},
      {"gone right at a poll", 3000, {}, 3000},
      {"gone before the first poll", 10, {}, 1000},
      {"a second window of the same browser lives longer", 1500, {{u"FIREFOX.EXE", 6200}}, 7000},
      {"other programs do not count", 1500, {{u"explorer.exe", fake::kForever}}, 2000},
  };
  for (const Row& row : rows) {
    FreshMachine();
    for (const auto& other : row.others) machine.AddProcess(other.first, other.second);
    machine.onStart[kFirefox] = fake::StartBehaviour::Spawn(u"firefox.exe", row.browserLife);
    RunBrowserAndWait(kFirefox, u"", SW_SHOWNORMAL);
    EXPECT_EQ(machine.now, row.expectedEnd) << row.why;
    for (DWORD sleep : machine.sleeps) EXPECT_EQ(sleep, 1000u) << row.why;
    EXPECT_EQ(machine.OpenSnapshots(), 0u) << row.why;
    EXPECT_TRUE(machine.processHandles.empty()) << row.why << ": the browser's handle is let go";
    EXPECT_LE(machine.ownSessionIdCalls, 1) << row.why << ": the launcher's session, once a run";
  }
}

TEST_F(BrowserWatchTest, FailedStartDoesNotWait) {
  fake::StartBehaviour fail;
  fail.kind = fake::StartBehaviour::kFail;
  machine.AddProcess(u"firefox.exe");  // even with the browser already running
  StartAndWait(kFirefox, fail);
  EXPECT_TRUE(machine.sleeps.empty());
  EXPECT_EQ(machine.toolhelpCalls, 0);
}

TEST_F(BrowserWatchTest, EmptyExecutableStartsNothing) {
  RunBrowserAndWait(u"", u"x", SW_SHOWNORMAL);
  EXPECT_TRUE(machine.shellCalls.empty());
  EXPECT_TRUE(machine.sleeps.empty());
}

TEST_F(BrowserWatchTest, HandOverToARunningInstanceWaitsForThatInstance) {
  machine.AddProcess(u"firefox.exe", 8300);  // the instance the user already had open
  EXPECT_EQ(StartAndWait(kFirefox, fake::StartBehaviour::Spawn(u"firefox.exe", 200)), 9000u);
}

TEST_F(BrowserWatchTest, QuitMessageEndsTheWaitAfterThatPassPolls) {
  machine.PostAt(1500, WM_QUIT);
  EXPECT_EQ(StartAndWait(kFirefox, fake::StartBehaviour::Spawn(u"firefox.exe", fake::kForever)),
            2000u);
  EXPECT_TRUE(QuitRequested);
  EXPECT_GT(machine.toolhelpCalls, 0);
  EXPECT_EQ(machine.sleeps.size(), 2u);
  EXPECT_TRUE(machine.queue.empty());
}

TEST_F(BrowserWatchTest, WithoutToolhelpTheWaitEndsAfterTheFirstPoll) {
  machine.kernel32Found = false;
  EXPECT_EQ(StartAndWait(kFirefox, fake::StartBehaviour::Spawn(u"firefox.exe", fake::kForever)),
            1000u);
  EXPECT_EQ(machine.nullHandleCloses, 1);
}

TEST_F(BrowserWatchTest, OperaStubIsWatchedAsOperaInAnyCase) {
  for (const LaunchText exe : {u"\"C:\\Opera\\launcher.exe\"", u"\"C:\\Opera\\LAUNCHER.EXE\"",
                               u"\"C:\\Opera\\Launcher.Exe\""}) {
    FreshMachine();
    fake::StartBehaviour stub = fake::StartBehaviour::Spawn(u"launcher.exe", 100);
    stub.childImage = u"opera.exe";
    stub.childLifetime = 4500;
    machine.onStart[exe] = stub;
    RunBrowserAndWait(exe, u"", SW_SHOWNORMAL);
    EXPECT_EQ(machine.now, 5000u) << fake::Narrow(exe);
  }
}

TEST_F(BrowserWatchTest, WatchedNameIsTheFileNameBeforeTheLastCharacter) {
  struct Row {
    LaunchText exe, expected;
  } rows[] = {
      {u"\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\"", u"firefox.exe"},
      {u"\"C:\\Browsers\\FireFox.EXE\"", u"FireFox.EXE"},  // own case kept
      {u"C:\\Chrome\\chrome.exe \"", u"chrome.exe "},      // unquoted path, stray quote
      {u"\"C:\\dir\\\"", u""},                             // backslash second-to-last
      {u"\"firefox.exe\"", u"firefox.exe"},                // no folder: quote dropped
      {u"firefox.exe\"", u"firefox.exe"},
      {u"\"\"", u""},
      {u"\"", u""},
      {u"x", u""},
      {u"\\\"", u""},  // the backslash is the first character
      {u"", u""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(WatchedImageNameOf(row.exe), row.expected) << fake::Narrow(row.exe);
  }
}

TEST_F(BrowserWatchTest, QuotedBareFileNameIsWatched) {
  EXPECT_EQ(StartAndWait(u"\"firefox.exe\"", fake::StartBehaviour::Spawn(u"firefox.exe", 2500)),
            3000u);
}

TEST_F(BrowserWatchTest, ExecutableEndingInABackslashEndsAtTheFirstPoll) {
  EXPECT_EQ(StartAndWait(u"\"C:\\dir\\\"", fake::StartBehaviour::Spawn(u"x.exe", fake::kForever)),
            1000u);
}

TEST_F(BrowserWatchTest, PumpTakesMouseMessagesFirstThenTheRestInOrder) {
  HWND ansiWindow = reinterpret_cast<HWND>(0x5000);
  HWND unicodeWindow = reinterpret_cast<HWND>(0x6000);
  machine.ansiWindows.insert(ansiWindow);
  machine.PostAt(0, WM_USER, ansiWindow);
  machine.PostAt(0, WM_USER + 1, unicodeWindow);
  machine.PostAt(0, WM_USER + 2);
  machine.PostAt(0, WM_MOUSEMOVE, ansiWindow);
  machine.PostAt(0, WM_QUIT);
  machine.PostAt(50, WM_USER + 3);  // not there yet

  DrainMessages();
  EXPECT_EQ(machine.removals,
            (std::vector<std::string>{"W 512", "A 1024", "W 1025", "W 1026", "W 18"}));
  EXPECT_TRUE(QuitRequested);
  EXPECT_FALSE(PumpOneMessage());
  ASSERT_EQ(machine.queue.size(), 1u);
  machine.now = 50;
  EXPECT_TRUE(PumpOneMessage());
  EXPECT_FALSE(PumpOneMessage());
}

}  // namespace
