// The shell, file and process services against real Win32, under Wine. These also pin the facts
// the fake Windows of the host tests is built on.
#include "platform/services.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/wine/test_files.h"

namespace {

TEST(ServicesOnWindows, ExistingFileAgainstARealFolder) {
  ScratchDir game(L"services-files");
  game.WriteFile(L"play.url", "[InternetShortcut]\r\nURL=https://example.invalid/\r\n");
  game.MakeDirectory(L"play.lnk");
  game.WriteFile(L"fscommand\\wgame.exe");

  struct Row {
    LaunchText path;
    bool exists;
  } rows[] = {
      {u"play.url", true},
      {u"PLAY.URL", true},
      {u"play.lnk", false},
      {u"missing", false},
      {u"fscommand\\wgame.exe", true},
      {u"fscommand", false},
      {u"nowhere\\x", false},
      {u"bad?name", false},
      {u"", false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(IsExistingFile(row.path), row.exists)
        << std::string(row.path.begin(), row.path.end());
  }
}

TEST(ServicesOnWindows, RelativeNamesFollowTheCurrentDirectory) {
  ScratchDir beside(L"services-exe-dir");
  beside.WriteFile(L"play.lnk");
  EXPECT_TRUE(IsExistingFile(u"play.lnk"));
  ScratchDir elsewhere(L"services-cwd");
  EXPECT_FALSE(IsExistingFile(u"play.lnk"));
}

// What the fake answers for failed attribute reads comes from here.
TEST(ServicesOnWindows, AttributeErrorsTheFakeMirrors) {
  ScratchDir game(L"services-errors");
  struct Row {
    const wchar_t* path;
    DWORD error;
  } rows[] = {
      {L"missing.lnk", ERROR_FILE_NOT_FOUND},
      {L"nowhere\\wgame.exe", ERROR_PATH_NOT_FOUND},
      {L"bad<name", ERROR_INVALID_NAME},
      {L"", ERROR_PATH_NOT_FOUND},
  };
  for (const Row& row : rows) {
    SetLastError(0);
    EXPECT_EQ(GetFileAttributesW(row.path), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), row.error) << std::wstring(row.path).size();
  }
}

TEST(ServicesOnWindows, ToolhelpIsBoundByNameAndSeesThisProcess) {
  const HANDLE snapshot = ToolhelpCreateSnapshot(TH32CS_SNAPPROCESS, 0);
  ASSERT_NE(snapshot, nullptr);
  ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  bool foundSelf = false;
  for (BOOL more = ToolhelpProcessFirst(snapshot, &entry); more;
       more = ToolhelpProcessNext(snapshot, &entry)) {
    if (entry.th32ProcessID == GetCurrentProcessId()) {
      foundSelf = true;
      EXPECT_STREQ(entry.szExeFile, L"platform_tests.exe") << "the bare file name, no folder";
    }
  }
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_TRUE(foundSelf);
  CloseHandle(snapshot);

  PROCESSENTRY32W unsized{};
  const HANDLE again = ToolhelpCreateSnapshot(TH32CS_SNAPPROCESS, 0);
  EXPECT_FALSE(ToolhelpProcessFirst(again, &unsized)) << "the size field must be set";
  CloseHandle(again);
}

// The sessions the fake hands out follow these: the system's process information holds every
// process with the session ProcessIdToSessionId gives, and no process that has ended.
TEST(ServicesOnWindows, SessionsOfProcessesFromBothSources) {
  WCHAR self[MAX_PATH] = {};
  ASSERT_NE(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_list_tests";
  ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                             nullptr, nullptr, &startup, &child));
  DWORD own = 0;
  ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &own));

  std::vector<std::pair<DWORD, DWORD>> list;
  ASSERT_TRUE(ReadSystemSessionList(list));
  EXPECT_GT(list.size(), 2u);
  int listed = 0;
  for (const auto& entry : list) {
    if (entry.first == GetCurrentProcessId() || entry.first == child.dwProcessId) {
      EXPECT_EQ(entry.second, own) << entry.first;
      ++listed;
    }
  }
  EXPECT_EQ(listed, 2) << "this process and its child, each once";

  ProcessSessions sessions;
  DWORD session = 99;
  EXPECT_EQ(sessions.SessionOf(child.dwProcessId, session), SessionAnswer::kKnown);
  EXPECT_EQ(session, own);

  TerminateProcess(child.hProcess, 0);
  WaitForSingleObject(child.hProcess, 10000);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  // Gone from the list once ended. (Wine's ProcessIdToSessionId answers its own session for any
  // id, where Windows opens the process and fails for one that has ended: ProcessSessions falls
  // back on this list then.)
  ASSERT_TRUE(ReadSystemSessionList(list));
  for (const auto& entry : list) EXPECT_NE(entry.first, child.dwProcessId);
}

TEST(ServicesOnWindows, VersionQueryAnswers) {
  DWORD major = 0;
  ASSERT_TRUE(QueryOsMajorVersion(major));
  EXPECT_GE(major, 5u);
  OSVERSIONINFOW unsized{};
  EXPECT_FALSE(GetVersionExW(&unsized)) << "a size field of 0 is refused";
}

}  // namespace

// Wine gives no ProgId for http (it never reads a choice key), so every scenario under Wine takes
// the choice keys' route; only the fake Windows shows Windows 10's answer being followed. When a
// Wine release starts to answer, this fails: then the scenarios prove that answer too.
TEST(ServicesOnWindows, WineGivesNoProgIdForHttpButTheClassCommand) {
  const ShellAnswer progId = AskShellAboutHttp(kAssocProgId);
  EXPECT_EQ(progId.code, E_NOTIMPL) << std::string(progId.text.begin(), progId.text.end());
  EXPECT_TRUE(progId.text.empty());

  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  WCHAR stored[1024] = {};
  DWORD size = sizeof stored - sizeof(WCHAR);
  EXPECT_EQ(
      RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(stored), &size),
      ERROR_SUCCESS);
  RegCloseKey(key);
  const LaunchText expected = TextUpToZero(stored, 1024);
  ASSERT_GT(expected.size(), 4u);
  // A first buffer too short by far, by the terminator alone, and just right: the real
  // E_POINTER names the size (terminator included) and the second call gets the whole text.
  const DWORD length = static_cast<DWORD>(expected.size());
  for (const DWORD first : {kFirstShellAnswerUnits, DWORD{1}, DWORD{4}, length, length + 1}) {
    const ShellAnswer command = AskShellAboutHttp(kAssocCommand, first);
    EXPECT_EQ(command.code, S_OK) << "a first buffer of " << first;
    EXPECT_EQ(command.text, expected) << "a first buffer of " << first;
  }
}
