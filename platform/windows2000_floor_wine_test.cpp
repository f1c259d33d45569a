// The thread-id fallback of the Windows 2000 floor runs only where kernel32 has no GetThreadId
// (2000 and XP), which no system that runs these tests is: here it is called directly and must
// answer as GetThreadId does.
#include "platform/windows2000_floor.h"

#include <gtest/gtest.h>

namespace {

DWORD WINAPI Idle(void*) {
  return 0;
}

TEST(Windows2000Floor, ThreadIdThroughNtdllAnswersAsGetThreadId) {
  using GetThreadIdFn = DWORD(WINAPI*)(HANDLE);
  const auto getThreadId = reinterpret_cast<GetThreadIdFn>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadId")));
  ASSERT_NE(getThreadId, nullptr);
  DWORD createdId = 0;
  const HANDLE created = CreateThread(nullptr, 0, Idle, nullptr, CREATE_SUSPENDED, &createdId);
  ASSERT_NE(created, nullptr);
  const HANDLE unqueryable = OpenThread(SYNCHRONIZE, FALSE, createdId);
  ASSERT_NE(unqueryable, nullptr);

  struct Row {
    const char* why;
    HANDLE thread;
    DWORD id;  // 0: both fail
  } rows[] = {
      {"this thread, by its pseudo-handle", GetCurrentThread(), GetCurrentThreadId()},
      {"a created thread", created, createdId},
      {"a handle without query rights", unqueryable, 0},
      {"no handle", nullptr, 0},
  };
  for (const Row& row : rows) {
    SetLastError(0);
    const DWORD expected = getThreadId(row.thread);
    const DWORD expectedError = GetLastError();
    SetLastError(0);
    EXPECT_EQ(ThreadIdFromThreadInformation(row.thread), expected) << row.why;
    EXPECT_EQ(expected, row.id) << row.why;
    if (expected == 0) EXPECT_EQ(GetLastError(), expectedError) << row.why;
  }
  CloseHandle(unqueryable);
  ResumeThread(created);
  WaitForSingleObject(created, 10000);
  CloseHandle(created);
}

}  // namespace
