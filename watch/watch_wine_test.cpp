// The browser watch against real processes and a real message queue, under Wine.
#include <windows.h>

#include <psapi.h>

#include <gtest/gtest.h>

#include "launcher/launch_state.h"
#include "tests/wine/test_files.h"
#include "watch/browser_watch.h"
#include "watch/process_watch.h"

namespace {

unsigned long long NowMs() {
  return GetTickCount64();
}

// A stand-in program with a name no other process has, living `lifeMs`.
std::wstring PlaceStandinIn(const ScratchDir& dir, const std::wstring& name, unsigned lifeMs) {
  PlaceStandin(dir / name, lifeMs);
  return dir / name;
}

LaunchText Text(const std::wstring& text) {
  return LaunchText(text.begin(), text.end());
}

TEST(WatchOnWindows, ProcessIsRunningWhileTheStandinLives) {
  ScratchDir dir(L"watch-running");
  const std::wstring name = L"standin-" + std::to_wstring(GetCurrentProcessId()) + L".exe";
  std::wstring command = L"\"" + PlaceStandinIn(dir, name, 1500) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process));
  EXPECT_TRUE(IsProcessRunning(Text(name)));
  EXPECT_TRUE(IsProcessRunning(u"STANDIN-")) << "A-Z folded, substring";
  ASSERT_EQ(WaitForSingleObject(process.hProcess, 10000), WAIT_OBJECT_0);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  Sleep(100);
  EXPECT_FALSE(IsProcessRunning(Text(name)));
  EXPECT_FALSE(IsProcessRunning(u"watch_tests.exe")) << "this process is never counted";
}

TEST(WatchOnWindows, DrainTakesEveryPostedMessageAndNotesQuit) {
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // gives this thread its queue
  QuitRequested = false;
  ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_USER, 0, 0));
  ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_MOUSEMOVE, 0, 0));
  DrainMessages();
  EXPECT_FALSE(QuitRequested);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) << "the queue is empty";

  ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_QUIT, 0, 0));
  DrainMessages();
  EXPECT_TRUE(QuitRequested);

  QuitRequested = false;
  PostQuitMessage(0);
  DrainMessages();
  EXPECT_TRUE(QuitRequested);
  QuitRequested = false;
}

// What the fake does with a posted WM_QUIT and a filter comes from here.
TEST(WatchOnWindows, PostedQuitIsFilteredLikeAnyMessage) {
  MSG msg;
  ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_QUIT, 0, 0));
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSEHWHEEL, PM_REMOVE));
  EXPECT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
}

TEST(WatchOnWindows, WaitReturnsAboutASecondAfterTheBrowserExits) {
  ScratchDir dir(L"watch-wait");
  const std::wstring name = L"browser-" + std::to_wstring(GetCurrentProcessId()) + L".exe";
  const std::wstring exe = L"\"" + PlaceStandinIn(dir, name, 2500) + L"\"";
  QuitRequested = false;
  const unsigned long long start = NowMs();
  RunBrowserAndWait(Text(exe), u"--flag", SW_SHOWNORMAL);
  const unsigned long long waited = NowMs() - start;
  EXPECT_GE(waited, 2500u);
  EXPECT_LE(waited, 2500u + 1000u + 1500u) << "the browser's own start-up is the only slack";
  EXPECT_FALSE(IsProcessRunning(Text(name)));
}

TEST(WatchOnWindows, FailedStartReturnsAtOnce) {
  const unsigned long long start = NowMs();
  RunBrowserAndWait(u"\"C:\\no\\such\\browser.exe\"", u"", SW_SHOWNORMAL);
  EXPECT_LT(NowMs() - start, 900u);
}

// Wine does not count handles (GetProcessHandleCount answers 0), but it hands out the lowest free
// slot: a fresh handle lands where the last freed one was unless something took that slot.
HANDLE NextFreeHandle() {
  const HANDLE probe = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  CloseHandle(probe);
  return probe;
}

TEST(WatchOnWindows, ManyPollsLeaveNoHandlesOrMemoryBehind) {
  // Private committed bytes; Wine fills PagefileUsage but leaves PrivateUsage at 0.
  auto privateBytes = [] {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
  };
  for (int i = 0; i < 100; ++i) IsProcessRunning(u"no-such-browser.exe");  // settle caches
  const HANDLE freeBefore = NextFreeHandle();
  const SIZE_T memoryBefore = privateBytes();
  ASSERT_GT(memoryBefore, 0u) << "the private memory can be read";
  for (int i = 0; i < 2000; ++i) {
    DrainMessages();
    IsProcessRunning(u"no-such-browser.exe");
  }
  EXPECT_EQ(NextFreeHandle(), freeBefore) << "no handle was left open";
  EXPECT_LE(privateBytes(), memoryBefore + 64 * 1024) << "before: " << memoryBefore;

  // The probe does see a handle left open.
  const HANDLE leaked = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  EXPECT_NE(NextFreeHandle(), freeBefore);
  CloseHandle(leaked);
}

}  // namespace
