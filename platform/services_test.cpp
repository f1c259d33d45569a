#include "platform/services.h"

#include <set>

#include "tests/fake_windows/fake_test.h"

namespace {

using ServicesTest = FakeWindowsTest;

TEST_F(ServicesTest, ExistingFileMeansAnEntryThatIsNotADirectory) {
  machine.AddFile(u"play.lnk");
  machine.AddDirectory(u"play.url");
  machine.AddFile(u"fscommand\\wgame.exe");
  machine.AddFile(u"pagefile.sys", {false, ERROR_SHARING_VIOLATION, false});
  machine.AddFile(u"locked-dir", {true, ERROR_ACCESS_DENIED, false});
  machine.AddFile(u"hidden.bin", {false, ERROR_ACCESS_DENIED, true});
  struct Row {
    LaunchText path;
    bool exists;
    int findCalls;  // the directory search is only the fallback for unexpected errors
  } rows[] = {
      {u"play.lnk", true, 0},
      {u"PLAY.LNK", true, 0},
      {u"play.url", false, 0},            // a directory
      {u"missing.lnk", false, 0},         // ERROR_FILE_NOT_FOUND
      {u"nowhere\\wgame.exe", false, 0},  // ERROR_PATH_NOT_FOUND
      {u"play?.lnk", false, 0},           // ERROR_INVALID_NAME
      {u"", false, 0},
      {u"fscommand\\wgame.exe", true, 0},
      {u"fscommand", false, 0},
      {u"pagefile.sys", true, 1},  // attributes refused, the search finds a file
      {u"locked-dir", false, 1},   // ... or a directory
      {u"hidden.bin", false, 1},   // ... or nothing
      {u"C:\\games\\wgame\\play.lnk", true, 0},
  };
  for (const Row& row : rows) {
    machine.findFirstCalls = 0;
    EXPECT_EQ(IsExistingFile(row.path), row.exists) << fake::Narrow(row.path);
    EXPECT_EQ(machine.findFirstCalls, row.findCalls) << fake::Narrow(row.path);
  }
  EXPECT_TRUE(machine.findHandles.empty()) << "every directory search is closed again";
}

TEST_F(ServicesTest, RelativeNamesResolveAgainstTheCurrentDirectory) {
  machine.AddFile(u"C:\\Program Files\\wgame\\play.lnk");  // beside the executable, say
  EXPECT_FALSE(IsExistingFile(u"play.lnk"));
  machine.currentDirectory = u"C:\\Program Files\\wgame";
  EXPECT_TRUE(IsExistingFile(u"play.lnk"));
}

TEST_F(ServicesTest, ShellOpenPassesEmptyTextsNotNulls) {
  ShellOpen(u"play.url");
  ASSERT_EQ(machine.shellCalls.size(), 1u);
  const fake::ShellCall& call = machine.shellCalls[0];
  EXPECT_EQ(call.api, "ShellExecuteW");
  EXPECT_EQ(call.owner, nullptr);
  EXPECT_EQ(call.verb, u"open");
  EXPECT_EQ(call.file, u"play.url");
  EXPECT_FALSE(call.paramsNull);
  EXPECT_FALSE(call.dirNull);
  EXPECT_EQ(call.params, u"");
  EXPECT_EQ(call.dir, u"");
  EXPECT_EQ(call.show, SW_SHOWNORMAL);
}

TEST_F(ServicesTest, VersionQuery) {
  DWORD major = 0;
  machine.majorVersion = 5;
  EXPECT_TRUE(QueryOsMajorVersion(major));
  EXPECT_EQ(major, 5u);
  machine.versionFails = true;
  major = 77;
  EXPECT_FALSE(QueryOsMajorVersion(major));
  EXPECT_EQ(major, 77u);
}

TEST_F(ServicesTest, ToolhelpWithoutKernel32YieldsNullHandleAndCallsNothing) {
  machine.kernel32Found = false;
  machine.AddProcess(u"opera.exe");
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  EXPECT_EQ(ToolhelpCreateSnapshot(TH32CS_SNAPPROCESS, 0), nullptr);
  EXPECT_FALSE(ToolhelpProcessFirst(nullptr, &entry));
  EXPECT_FALSE(ToolhelpProcessNext(nullptr, &entry));
  EXPECT_EQ(machine.toolhelpCalls, 0);
  EXPECT_EQ(machine.moduleLookups, 3) << "looked up again while kernel32 was not found";

  // Once the module handle is obtained, the binding stands.
  machine.kernel32Found = true;
  const HANDLE snapshot = ToolhelpCreateSnapshot(TH32CS_SNAPPROCESS, 0);
  ASSERT_NE(snapshot, nullptr);
  ASSERT_TRUE(ToolhelpProcessFirst(snapshot, &entry));
  EXPECT_EQ(LaunchText(entry.szExeFile), u"opera.exe");
  EXPECT_FALSE(ToolhelpProcessNext(snapshot, &entry));
  EXPECT_EQ(machine.moduleLookups, 4);
  CloseHandle(snapshot);
}

TEST_F(ServicesTest, ToolhelpWithAMissingWalkerAnswersFalseForThatOne) {
  machine.missingExports = {"Process32NextW"};
  machine.AddProcess(u"a.exe");
  machine.AddProcess(u"b.exe");
  const HANDLE snapshot = ToolhelpCreateSnapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  EXPECT_TRUE(ToolhelpProcessFirst(snapshot, &entry));
  EXPECT_FALSE(ToolhelpProcessNext(snapshot, &entry));
  CloseHandle(snapshot);
}

}  // namespace

namespace {

using DllSearchTest = FakeWindowsTest;

TEST_F(DllSearchTest, SystemFolderOnlyWhereTheSystemCanElseDropTheCurrentFolder) {
  struct Row {
    const char* why;
    std::set<std::string> missing;
    bool kernel32;
    std::vector<std::string> calls;
  } rows[] = {
      {"current systems", {}, true, {"SetDefaultDllDirectories 2048"}},
      {"XP SP1 to Vista", {"SetDefaultDllDirectories"}, true, {"SetDllDirectoryW \"\""}},
      {"Windows 2000", {"SetDefaultDllDirectories", "SetDllDirectoryW"}, true, {}},
      {"no kernel32 handle", {}, false, {}},
  };
  for (const Row& row : rows) {
    FreshMachine();
    machine.missingExports = row.missing;
    machine.kernel32Found = row.kernel32;
    RestrictDllSearchToSystem();
    EXPECT_EQ(machine.dllSearchCalls, row.calls) << row.why;
  }
}

}  // namespace
