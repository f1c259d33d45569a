// The player's path: the game's installer (the demonstration game's, built as a publisher's build
// makes one), the game started from the Start-menu shortcut it made, and its uninstaller.
#include <shlobj.h>

#include <algorithm>
#include <cwctype>

#include "tests/e2e/browser_scenario.h"

namespace {

const std::wstring kGame = L"Wgame Demo";
const std::wstring kEntry = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + kGame;

std::wstring Lower(std::wstring text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
  return text;
}

// UTF-8 text, as the stand-ins log it, in lower case (the ASCII letters are all a path here differs
// in).
std::string LowerUtf8(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::wstring SpecialFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  EXPECT_EQ(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path), S_OK);
  return path;
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Everything below FOLDER, as paths relative to it, sorted.
std::vector<std::wstring> Entries(const std::wstring& folder, const std::wstring& prefix = L"") {
  std::vector<std::wstring> entries;
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return entries;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    entries.push_back(prefix + name);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      for (const std::wstring& inner : Entries(folder + L"\\" + name, prefix + name + L"\\")) {
        entries.push_back(inner);
      }
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(entries.begin(), entries.end());
  return entries;
}

struct Link {
  std::wstring target;
  std::wstring workingFolder;
};

// A shortcut's target and working folder, as the shell reads them.
Link ReadLink(const std::wstring& path) {
  CoInitialize(nullptr);
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  wchar_t target[MAX_PATH] = {};
  wchar_t folder[MAX_PATH] = {};
  if (CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                       reinterpret_cast<void**>(&link)) == S_OK &&
      link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)) == S_OK &&
      file->Load(path.c_str(), STGM_READ) == S_OK) {
    link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    link->GetWorkingDirectory(folder, MAX_PATH);
  } else {
    ADD_FAILURE() << "no shortcut at " << Utf8(path);
  }
  if (file != nullptr) file->Release();
  if (link != nullptr) link->Release();
  return {target, folder};
}

// A DWORD of the entry, or ~0 when it has none.
DWORD EntryNumber(const wchar_t* name) {
  DWORD value = 0xFFFFFFFF;
  DWORD size = sizeof value;
  RegGetValueW(HKEY_CURRENT_USER, kEntry.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size);
  return value;
}

bool KeyExists(HKEY root, const std::wstring& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

// Runs a whole command line, as Windows runs an entry's uninstall command, and returns its exit
// code once it has ended.
DWORD RunToEnd(std::wstring command, DWORD timeoutMs) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    ADD_FAILURE() << "did not start: " << Utf8(command);
    return STILL_ACTIVE;
  }
  DWORD code = STILL_ACTIVE;
  EXPECT_EQ(WaitForSingleObject(process.hProcess, timeoutMs + StartAllowanceMs()), WAIT_OBJECT_0)
      << Utf8(command);
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

// `text` as the record holds it: UTF-16LE.
std::string Utf16Bytes(const std::wstring& text) {
  std::string bytes;
  for (wchar_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>((unit >> 8) & 0xFF);
  }
  return bytes;
}

bool StillRunning(HANDLE process) {
  return WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

class InstallerScenario : public BrowserScenario {
 protected:
  void SetUp() override {
    const std::wstring baseTaken = EnvironmentValue(L"E2E_I686_BASE_TAKEN");  // run-emulated's
    if (!baseTaken.empty()) GTEST_SKIP() << Utf8(baseTaken) << ": NSIS's stub cannot start";
    BrowserScenario::SetUp();
    RemoveInstallation();  // what an earlier run that failed may have left
  }
  void TearDown() override {
    for (const std::wstring& flag : browserFlags_) WriteFileText(flag, "");
    for (HANDLE process : started_) {
      TerminateProcess(process, 1);
      CloseHandle(process);
    }
    RemoveInstallation();
    BrowserScenario::TearDown();
  }

  static std::wstring StartMenu() { return SpecialFolder(CSIDL_PROGRAMS) + L"\\" + kGame; }
  static std::wstring DesktopLink() {
    return SpecialFolder(CSIDL_DESKTOPDIRECTORY) + L"\\" + kGame + L".lnk";
  }
  static std::wstring DefaultFolder() {
    return SpecialFolder(CSIDL_LOCAL_APPDATA) + L"\\Programs\\" + kGame;
  }
  static void RemoveInstallation() {
    DeleteRegTree(HKEY_CURRENT_USER, kEntry);
    RemoveTree(StartMenu());
    RemoveTree(DefaultFolder());
    DeleteFileW(DesktopLink().c_str());
  }

  // A silent install; `options` end with /D= when they have it (unquoted even with spaces).
  static DWORD Install(const std::wstring& installer, const std::wstring& options = L"") {
    return RunToEnd(Quoted(ShippedFolder() + L"\\" + installer) + L" /S" + options, 120000);
  }
  static DWORD Uninstall() {
    return RunToEnd(RegText(HKEY_CURRENT_USER, kEntry, L"QuietUninstallString"), 120000);
  }
  // An uninstall ends with its finishing copy, which deletes uninstall.exe once the uninstaller has
  // ended: the player's next step comes after that.
  static void AwaitUninstallFinished(const std::wstring& folder) {
    const unsigned long long deadline = Now() + 30000 + StartAllowanceMs();
    while (Exists(folder + L"\\uninstall.exe") && Now() < deadline) Sleep(100);
  }

  // The browser lives until `flag` exists; a launcher started now waits for it.
  void BrowserLivesUntil(const std::wstring& flag) {
    WriteFileText(browser_ + L".cfg", "life=180000\r\nuntil=" + Utf8(flag) + "\r\n");
    browserFlags_.push_back(flag);
  }
  // The player double-clicks the game in the Start menu. (The shell gives no handle for the
  // program behind a shortcut it opens: Wine's does not.)
  static void StartFromTheStartMenu() {
    const std::wstring link = StartMenu() + L"\\" + kGame + L".lnk";
    SHELLEXECUTEINFOW open{};
    open.cbSize = sizeof open;
    open.fMask = SEE_MASK_FLAG_NO_UI;
    open.lpFile = link.c_str();
    open.nShow = SW_SHOWNORMAL;
    EXPECT_TRUE(ShellExecuteExW(&open)) << GetLastError();
  }
  // Starts `exe` in `folder`, as a shortcut that starts in that folder does; ended at the end.
  HANDLE StartIn(const std::wstring& exe, const std::wstring& folder) {
    std::wstring command = Quoted(exe);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    EXPECT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                               folder.c_str(), &startup, &process))
        << Utf8(exe);
    CloseHandle(process.hThread);
    started_.push_back(process.hProcess);
    return process.hProcess;
  }
  // Waits until `count` browsers have started, by the log.
  void AwaitBrowsers(std::size_t count) {
    std::size_t browsers = 0;
    for (const Event& start : Starts(count, 60000 + StartAllowanceMs())) {
      browsers += start.image == "browser.exe" ? 1 : 0;
    }
    ASSERT_EQ(browsers, count) << "the launchers did not start the browser";
  }

  const std::wstring browser_ = ProgramsDir() + L"\\browser.exe";
  std::vector<std::wstring> browserFlags_;  // written at the end, so that no browser outlives it
  std::vector<HANDLE> started_;
};

TEST_F(InstallerScenario, UpdatesAndUninstallsWhileTheLauncherWaitsKeepingThePlayersFiles) {
  const std::wstring folder = Folder(L"Spiele f\u00fcr alle\\Wgame Demo");
  ASSERT_EQ(Install(L"wgame-demo-setup.exe", L" /D=" + folder), 0u) << "1.0";
  std::vector<std::wstring> installed = {L"Companion.lnk",
                                         L"LICENSE",
                                         L"THIRD-PARTY-NOTICES.txt",
                                         L"extras",
                                         L"extras\\intro.txt",
                                         L"fscommand",
                                         L"fscommand\\wgame.exe",
                                         L"installed-files.txt",
                                         L"launcher-report.exe",
                                         L"launcher.exe",
                                         L"play.url",
                                         L"uninstall.exe"};
  EXPECT_EQ(Entries(folder), installed);

  const struct {
    std::wstring link, target, workingFolder;
  } shortcuts[] = {
      {StartMenu() + L"\\Wgame Demo.lnk", folder + L"\\launcher.exe", folder},
      {StartMenu() + L"\\Wgame Demo support report.lnk", folder + L"\\launcher-report.exe", folder},
      {DesktopLink(), folder + L"\\launcher.exe", folder},
      {folder + L"\\Companion.lnk", folder + L"\\fscommand\\wgame.exe", folder + L"\\fscommand"},
  };
  for (const auto& shortcut : shortcuts) {
    const Link link = ReadLink(shortcut.link);
    EXPECT_EQ(Lower(link.target), Lower(shortcut.target)) << Utf8(shortcut.link);
    EXPECT_EQ(Lower(link.workingFolder), Lower(shortcut.workingFolder)) << Utf8(shortcut.link);
  }
  EXPECT_EQ(Entries(StartMenu()).size(), 2u);

  // The uninstaller runs in place (_?=), so that its exit code is its own.
  const std::wstring uninstaller = Quoted(folder + L"\\uninstall.exe");
  const struct {
    const wchar_t* name;
    std::wstring value;
  } texts[] = {
      {L"DisplayName", kGame},
      {L"DisplayVersion", L"1.0"},
      {L"Publisher", L"www.wgame.example"},
      {L"DisplayIcon", folder + L"\\launcher.exe,0"},
      {L"InstallLocation", folder},
      {L"UninstallString", uninstaller + L" _?=" + folder},
      {L"QuietUninstallString", uninstaller + L" /S _?=" + folder},
  };
  for (const auto& text : texts) {
    EXPECT_EQ(Lower(RegText(HKEY_CURRENT_USER, kEntry, text.name)), Lower(text.value))
        << Utf8(text.name);
  }
  // The install date as Installed apps shows it (today, YYYYMMDD), and the game's site.
  SYSTEMTIME today{};
  GetLocalTime(&today);
  wchar_t date[9] = {};
  swprintf(date, 9, L"%04u%02u%02u", today.wYear, today.wMonth, today.wDay);
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, kEntry, L"InstallDate"), date);
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, kEntry, L"URLInfoAbout"), L"https://www.wgame.example");
  EXPECT_EQ(EntryNumber(L"NoModify"), 1u);
  EXPECT_EQ(EntryNumber(L"NoRepair"), 1u);
  // KiB: the two programs alone take more than 300.
  EXPECT_GT(EntryNumber(L"EstimatedSize"), 300u);
  EXPECT_LT(EntryNumber(L"EstimatedSize"), 2000u);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEntry)) << "an entry for every user";

  // The player saves a game, and starts it again from the Start menu: the launcher waits for the
  // browser, in which the player downloads 2.0 and installs it the usual way, naming no folder.
  CreateDirectoryW((folder + L"\\saves").c_str(), nullptr);
  WriteFileText(folder + L"\\saves\\slot1.sav", "level 3\r\n");
  AddStandin(browser_);
  RegisterBrowser(Quoted(browser_) + L" -- \"%1\"");
  AddStandin(ProgramsDir() + L"\\url-handler.exe");
  RegisterUrlFileHandler(ProgramsDir() + L"\\url-handler.exe");
  const std::wstring firstClose = Folder(L"close the browser");
  BrowserLivesUntil(firstClose);
  StartFromTheStartMenu();
  AwaitBrowsers(1);
  // A file that another program holds open cannot be replaced: the installer says so.
  const HANDLE heldUrl = CreateFileW((folder + L"\\play.url").c_str(), GENERIC_READ,
                                     FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(heldUrl, INVALID_HANDLE_VALUE);
  const std::vector<std::wstring> whole = Entries(folder);
  EXPECT_EQ(Install(L"wgame-demo-2.0-setup.exe"), 2u)
      << "an update that could not replace play.url";
  CloseHandle(heldUrl);
  // All or nothing: 1.0 as it was, its launcher, report, companion and shortcuts working.
  EXPECT_EQ(Entries(folder), whole);
  EXPECT_EQ(ReadFileText(folder + L"\\launcher.exe"),
            ReadFileText(ShippedFolder() + L"\\launcher.exe"));
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, kEntry, L"DisplayVersion"), L"1.0");
  for (const auto& shortcut : shortcuts) EXPECT_TRUE(Exists(ReadLink(shortcut.link).target));
  ASSERT_EQ(Install(L"wgame-demo-2.0-setup.exe"), 0u) << "2.0 over 1.0, while 1.0's launcher waits";

  EXPECT_EQ(Lower(RegText(HKEY_CURRENT_USER, kEntry, L"InstallLocation")), Lower(folder));
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, kEntry, L"DisplayVersion"), L"2.0");
  EXPECT_FALSE(Exists(DefaultFolder())) << "a second copy";
  EXPECT_EQ(ReadFileText(folder + L"\\launcher.exe"),
            ReadFileText(ShippedFolder() + L"\\demo-launcher-2.0\\launcher.exe"))
      << "the folder's launcher is not 2.0's";
  // 1.0's extra file and its folder are gone; the running launcher was set aside.
  installed.erase(installed.begin() + 3, installed.begin() + 5);
  installed.insert(installed.end() - 1, {L"replaced-while-running", L"saves", L"saves\\slot1.sav"});
  std::vector<std::wstring> entries = Entries(folder);
  const auto setAside = std::find(entries.begin(), entries.end(), L"replaced-while-running");
  ASSERT_NE(setAside, entries.end()) << "nothing was set aside";
  ASSERT_NE(setAside + 1, entries.end());
  EXPECT_EQ((setAside + 1)->rfind(L"replaced-while-running\\", 0), 0u);
  entries.erase(setAside + 1);
  EXPECT_EQ(entries, installed);
  EXPECT_EQ(ReadFileText(folder + L"\\saves\\slot1.sav"), "level 3\r\n");
  EXPECT_EQ(Entries(StartMenu()).size(), 2u);

  // The browser ends: the waiting launcher opens the game from the same folder.
  WriteFileText(firstClose, "");
  const std::vector<Event> events = Events(6, 60000 + StartAllowanceMs());
  const Event browserEnd = EndOf(events, "browser.exe");
  const Event url = StartOf(events, "url-handler.exe");
  const Event companion = StartOf(events, "wgame.exe");
  EXPECT_LE(browserEnd.ms, url.ms) << "play.url opened before the browser's end";
  EXPECT_LT(url.ms, companion.ms) << "the companion before play.url";
  EXPECT_NE(LowerUtf8(url.commandLine).find(LowerUtf8(Utf8(folder + L"\\play.url"))),
            std::string::npos)
      << url.commandLine;
  for (const Event& start : {StartOf(events, "browser.exe"), url, companion}) {
    EXPECT_EQ(LowerUtf8(start.directory), LowerUtf8(Utf8(folder)))
        << start.image << " started elsewhere";
  }

  // The player starts the game again, and another game's launcher of the same name waits too.
  ClearEvents();
  const std::wstring secondClose = Folder(L"close the browser again");
  BrowserLivesUntil(secondClose);
  // As the Start-menu shortcut starts it (its target and working folder were read above), with a
  // handle to see it ended.
  const HANDLE thisGame = StartIn(shortcuts[0].target, shortcuts[0].workingFolder);
  const std::wstring otherGame = Folder(L"Another game");
  CreateDirectoryW(otherGame.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW((folder + L"\\launcher.exe").c_str(),
                        (otherGame + L"\\launcher.exe").c_str(), FALSE));
  const HANDLE other = StartIn(otherGame + L"\\launcher.exe", otherGame);
  AwaitBrowsers(2);

  // A file that another program holds open cannot be removed: the uninstall says so.
  const HANDLE held = CreateFileW((folder + L"\\LICENSE").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_NE(Uninstall(), 0u) << "an uninstall that left LICENSE";
  CloseHandle(held);
  EXPECT_TRUE(Exists(folder + L"\\uninstall.exe")) << "nothing left to try again with";
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kEntry)) << "the entry went with files left";
  // It ended this folder's launcher, and only that one.
  EXPECT_EQ(WaitForSingleObject(thisGame, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(StillRunning(other)) << "another game's launcher was ended";

  // Tried again, it removes all but the player's save; its own file goes once it has ended.
  EXPECT_EQ(Uninstall(), 0u);
  AwaitUninstallFinished(folder);
  EXPECT_EQ(Entries(folder), (std::vector<std::wstring>{L"saves", L"saves\\slot1.sav"}));
  EXPECT_FALSE(Exists(StartMenu()));
  EXPECT_FALSE(Exists(DesktopLink()));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kEntry));
  EXPECT_TRUE(StillRunning(other)) << "another game's launcher was ended";

  WriteFileText(secondClose, "");
  EXPECT_EQ(WaitForSingleObject(other, 60000 + StartAllowanceMs()), WAIT_OBJECT_0);
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(other, &code);
  EXPECT_EQ(code, 0u) << "the other game's launcher";
}

// Installations made by installers before this record's proof: one with the entries alone (what
// every player of the earlier installer has), still read, its entries as strictly; and one with no
// list at all, whose own uninstaller knows what it holds. Either way the update removes the older
// version's files first.
TEST_F(InstallerScenario, UpdateOverAnOlderInstallationLeavesNoOlderFile) {
  const struct {
    std::wstring what;  // and the folder's name
    std::function<void(const std::wstring& record)> makeOlder;
  } rows[] = {
      {L"the entries alone",
       [](const std::wstring& record) {
         const std::string bytes = ReadFileText(record);
         const std::string header = Utf16Bytes(L"#installed-files:2\r\n");
         const std::size_t end = bytes.rfind(Utf16Bytes(L"#end:"));
         ASSERT_EQ(bytes.compare(2, header.size(), header), 0);
         ASSERT_NE(end, std::string::npos);
         WriteFileText(
             record, bytes.substr(0, 2) + bytes.substr(2 + header.size(), end - 2 - header.size()));
       }},
      {L"no list", [](const std::wstring& record) { ASSERT_TRUE(DeleteFileW(record.c_str())); }},
  };
  for (const auto& row : rows) {
    RemoveInstallation();
    const std::string what = Utf8(row.what);
    const std::wstring folder = Folder(row.what);
    ASSERT_EQ(Install(L"wgame-demo-setup.exe", L" /D=" + folder), 0u) << "1.0, " << what;
    row.makeOlder(folder + L"\\installed-files.txt");
    ASSERT_EQ(Install(L"wgame-demo-2.0-setup.exe"), 0u) << "2.0, " << what;
    EXPECT_FALSE(Exists(folder + L"\\extras")) << "1.0's extras outlived the update, " << what;
    EXPECT_TRUE(Exists(folder + L"\\installed-files.txt")) << what;
    EXPECT_EQ(RegText(HKEY_CURRENT_USER, kEntry, L"DisplayVersion"), L"2.0") << what;
    EXPECT_EQ(Entries(StartMenu()).size(), 2u) << what;
    EXPECT_TRUE(Exists(DesktopLink())) << what;
  }
}

// The record is the player's to change (a mod tool, a sync client, an editor, a crash while it was
// written): one that does not prove itself whole is not used, and the player's saves stay.
TEST_F(InstallerScenario, DamagedRecordKeepsEverySaveAndAnUninstallWithoutOneSaysSo) {
  const std::wstring folder = Folder(L"Wgame Demo");
  ASSERT_EQ(Install(L"wgame-demo-setup.exe", L" /D=" + folder), 0u) << "1.0";
  CreateDirectoryW((folder + L"\\saves").c_str(), nullptr);
  WriteFileText(folder + L"\\saves\\slot1.sav", "level 3\r\n");
  const std::wstring record = folder + L"\\installed-files.txt";
  WriteFileText(record, ReadFileText(record) + Utf16Bytes(L"saves\\*\r\n*.sav\r\nsaves\r\n"));

  ASSERT_EQ(Install(L"wgame-demo-2.0-setup.exe"), 0u) << "2.0 over a hand-edited record";
  EXPECT_EQ(ReadFileText(folder + L"\\saves\\slot1.sav"), "level 3\r\n");
  EXPECT_TRUE(Exists(folder + L"\\extras\\intro.txt")) << "removed on an untrusted record's word";
  EXPECT_FALSE(Exists(folder + L"\\replaced-while-running")) << "the saves were moved aside";

  // Zeroed, as a crash while writing leaves it: the uninstall removes this version's files, keeps
  // what it cannot vouch for, and says so.
  WriteFileText(record, std::string(ReadFileText(record).size(), '\0'));
  EXPECT_EQ(Uninstall(), 2u) << "an uninstall that could not vouch for every file";
  AwaitUninstallFinished(folder);
  EXPECT_EQ(Entries(folder), (std::vector<std::wstring>{L"extras", L"extras\\intro.txt", L"saves",
                                                        L"saves\\slot1.sav"}));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kEntry));
  EXPECT_FALSE(Exists(StartMenu()));
  EXPECT_FALSE(Exists(DesktopLink()));
}

// What is not this installation's is not its to run or remove: another program's uninstall.exe in
// a folder named with /D=, and the entry and shortcuts of a second copy installed elsewhere.
TEST_F(InstallerScenario, ForeignUninstallerIsNeverRunAndASecondCopyKeepsItsEntryAndShortcuts) {
  const std::wstring copyA = Folder(L"copyA");
  AddStandin(copyA + L"\\uninstall.exe");  // another program's, which logs if it is started
  ASSERT_EQ(Install(L"wgame-demo-setup.exe", L" /D=" + copyA), 0u) << "into copyA";
  for (const Event& start : Starts(1, 2000)) {
    EXPECT_NE(start.image, "uninstall.exe") << "another program's uninstaller was run";
  }

  const std::wstring copyB = Folder(L"copyB");
  ASSERT_EQ(Install(L"wgame-demo-setup.exe", L" /D=" + copyB), 0u) << "into copyB";
  EXPECT_EQ(RunToEnd(Quoted(copyA + L"\\uninstall.exe") + L" /S _?=" + copyA, 120000), 0u);
  EXPECT_FALSE(Exists(copyA + L"\\launcher.exe"));
  EXPECT_EQ(Lower(RegText(HKEY_CURRENT_USER, kEntry, L"InstallLocation")), Lower(copyB));
  EXPECT_EQ(Entries(StartMenu()).size(), 2u);
  EXPECT_EQ(Lower(ReadLink(DesktopLink()).target), Lower(copyB + L"\\launcher.exe"));
  EXPECT_TRUE(Exists(copyB + L"\\launcher.exe"));

  // One installer or uninstaller of the game at a time: a second one exits 1, doing nothing.
  const HANDLE lock = CreateMutexW(nullptr, FALSE, (L"Local\\" + kGame + L" setup").c_str());
  EXPECT_EQ(Install(L"wgame-demo-2.0-setup.exe"), 1u) << "beside another installer";
  EXPECT_EQ(Uninstall(), 1u) << "beside another installer";
  CloseHandle(lock);
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, kEntry, L"DisplayVersion"), L"1.0");
  EXPECT_EQ(Uninstall(), 0u);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kEntry));
}

// A player who installs into a folder shared with other games: only the programs whose files this
// installation installed are its own to end.
TEST_F(InstallerScenario, AnotherGameBelowASharedFolderKeepsRunningThroughAnUpdateAndAnUninstall) {
  const std::wstring games = Folder(L"Games");
  ASSERT_EQ(Install(L"wgame-demo-setup.exe", L" /D=" + games), 0u) << "1.0";
  const std::wstring other = games + L"\\Other\\game.exe";
  AddStandin(other, 180000);
  const HANDLE otherGame = StartIn(other, games + L"\\Other");
  ASSERT_EQ(Install(L"wgame-demo-2.0-setup.exe"), 0u) << "2.0";
  EXPECT_TRUE(StillRunning(otherGame)) << "another game's program was ended by the update";

  const std::wstring companion = games + L"\\fscommand\\wgame.exe";
  WriteFileText(companion + L".cfg", "life=180000\r\n");
  const HANDLE ours = StartIn(companion, games + L"\\fscommand");
  EXPECT_EQ(Uninstall(), 0u);
  EXPECT_EQ(WaitForSingleObject(ours, 0), WAIT_OBJECT_0) << "the game's companion still runs";
  EXPECT_TRUE(StillRunning(otherGame)) << "another game's program was ended by the uninstall";
  EXPECT_TRUE(Exists(other));
  EXPECT_FALSE(Exists(companion));
}

// A file of the new version that cannot be written (here a folder stands where it goes): what the
// update had written goes, 1.0 comes back whole, and the same update completes once the way is
// free.
TEST_F(InstallerScenario, UpdateThatCannotWriteAFileIsUndone) {
  const std::wstring folder = Folder(L"Wgame Demo");
  ASSERT_EQ(Install(L"wgame-demo-setup.exe", L" /D=" + folder), 0u) << "1.0";
  ASSERT_TRUE(DeleteFileW((folder + L"\\LICENSE").c_str()));
  ASSERT_TRUE(CreateDirectoryW((folder + L"\\LICENSE").c_str(), nullptr));
  const std::vector<std::wstring> before = Entries(folder);
  const std::string record = ReadFileText(folder + L"\\installed-files.txt");
  const std::string uninstaller = ReadFileText(folder + L"\\uninstall.exe");

  EXPECT_EQ(Install(L"wgame-demo-2.0-setup.exe"), 2u);
  EXPECT_EQ(Entries(folder), before);
  EXPECT_EQ(ReadFileText(folder + L"\\launcher.exe"),
            ReadFileText(ShippedFolder() + L"\\launcher.exe"));
  EXPECT_EQ(ReadFileText(folder + L"\\installed-files.txt"), record);
  EXPECT_EQ(ReadFileText(folder + L"\\uninstall.exe"), uninstaller);
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, kEntry, L"DisplayVersion"), L"1.0");

  ASSERT_TRUE(RemoveDirectoryW((folder + L"\\LICENSE").c_str()));
  EXPECT_EQ(Install(L"wgame-demo-2.0-setup.exe"), 0u);
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, kEntry, L"DisplayVersion"), L"2.0");
  EXPECT_FALSE(Exists(folder + L"\\extras"));
  EXPECT_FALSE(Exists(folder + L"\\replaced-while-running"));
}

// The desktop shortcut is the player's: declined with /NODESKTOP, or deleted by hand, it stays away
// through updates and repairs; the entry remembers the choice. An older version over a newer one
// is silently refused, exit code 3 and nothing changed, unless the command line says /DOWNGRADE.
TEST_F(InstallerScenario, DesktopShortcutStaysThePlayersChoiceAndNoSilentDowngrade) {
  const std::wstring folder = Folder(L"Wgame Demo");
  const struct {
    const wchar_t* installer;
    std::wstring options;
    DWORD exitCode;
    const wchar_t* version;  // the entry's afterwards
  } steps[] = {
      {L"wgame-demo-setup.exe", L" /NODESKTOP /D=" + folder, 0, L"1.0"},
      {L"wgame-demo-2.0-setup.exe", L"", 0, L"2.0"},  // the update keeps the choice
      {L"wgame-demo-setup.exe", L"", 3, L"2.0"},      // older over newer, silently
      {L"wgame-demo-setup.exe", L" /DOWNGRADE", 0, L"1.0"},
  };
  for (const auto& step : steps) {
    const std::string what = Utf8(step.installer) + Utf8(step.options);
    const std::vector<std::wstring> before = Entries(folder);
    ASSERT_EQ(Install(step.installer, step.options), step.exitCode) << what;
    if (step.exitCode != 0) EXPECT_EQ(Entries(folder), before) << what;
    EXPECT_EQ(RegText(HKEY_CURRENT_USER, kEntry, L"DisplayVersion"), step.version) << what;
    EXPECT_FALSE(Exists(DesktopLink())) << what;
    EXPECT_EQ(RegText(HKEY_CURRENT_USER, kEntry, L"DesktopShortcut"), L"0") << what;
  }
  EXPECT_TRUE(Exists(folder + L"\\extras\\intro.txt")) << "1.0's own file, after the downgrade";
  ASSERT_EQ(Uninstall(), 0u);
  AwaitUninstallFinished(folder);
  ASSERT_FALSE(Exists(folder + L"\\uninstall.exe")) << "the uninstall did not finish";

  ASSERT_EQ(Install(L"wgame-demo-setup.exe", L" /D=" + folder), 0u) << "on by default";
  EXPECT_TRUE(Exists(DesktopLink()));
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, kEntry, L"DesktopShortcut"), L"1");
  ASSERT_TRUE(DeleteFileW(DesktopLink().c_str())) << "the player deletes it";
  ASSERT_EQ(Install(L"wgame-demo-2.0-setup.exe"), 0u);
  EXPECT_FALSE(Exists(DesktopLink())) << "the update brought back a deleted shortcut";
  ASSERT_EQ(Install(L"wgame-demo-2.0-setup.exe"), 0u) << "repair";
  EXPECT_FALSE(Exists(DesktopLink())) << "the repair brought back a deleted shortcut";
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, kEntry, L"DesktopShortcut"), L"0");
  EXPECT_EQ(Entries(StartMenu()).size(), 2u);
}

}  // namespace
