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

class InstallerScenario : public BrowserScenario {
 protected:
  void SetUp() override {
    BrowserScenario::SetUp();
    RemoveInstallation();  // what an earlier run that failed may have left
  }
  void TearDown() override {
    RemoveInstallation();
    BrowserScenario::TearDown();
  }

  static std::wstring StartMenu() { return SpecialFolder(CSIDL_PROGRAMS) + L"\\" + kGame; }
  static std::wstring DesktopLink() {
    return SpecialFolder(CSIDL_DESKTOPDIRECTORY) + L"\\" + kGame + L".lnk";
  }
  static void RemoveInstallation() {
    DeleteRegTree(HKEY_CURRENT_USER, kEntry);
    RemoveTree(StartMenu());
    DeleteFileW(DesktopLink().c_str());
  }

  // A silent install: /D= comes last, unquoted even with spaces.
  static void Install(const std::wstring& folder) {
    const std::wstring installer = ShippedFolder() + L"\\wgame-demo-setup.exe";
    EXPECT_EQ(RunToEnd(Quoted(installer) + L" /S /D=" + folder, 120000), 0u) << "the installer";
  }
};

TEST_F(InstallerScenario, InstallsStartsFromTheStartMenuAndUninstallsAllButThePlayersFiles) {
  const std::wstring folder = Folder(L"Spiele f\u00fcr alle\\Wgame Demo");
  Install(folder);
  Install(folder);  // again over it: still one entry and one set of shortcuts
  const std::vector<std::wstring> installed = {L"Companion.lnk",
                                               L"LICENSE",
                                               L"THIRD-PARTY-NOTICES.txt",
                                               L"fscommand",
                                               L"fscommand\\wgame.exe",
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
      {L"UninstallString", uninstaller},
      {L"QuietUninstallString", uninstaller + L" /S"},
  };
  for (const auto& text : texts) {
    EXPECT_EQ(Lower(RegText(HKEY_CURRENT_USER, kEntry, text.name)), Lower(text.value))
        << Utf8(text.name);
  }
  EXPECT_EQ(EntryNumber(L"NoModify"), 1u);
  EXPECT_EQ(EntryNumber(L"NoRepair"), 1u);
  // KiB: the two programs alone take more than 300.
  EXPECT_GT(EntryNumber(L"EstimatedSize"), 300u);
  EXPECT_LT(EntryNumber(L"EstimatedSize"), 2000u);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEntry)) << "an entry for every user";

  // The player double-clicks the game in the Start menu.
  const std::wstring browser = ProgramsDir() + L"\\browser.exe";
  AddStandin(browser, 1500);
  RegisterBrowser(Quoted(browser) + L" -- \"%1\"");
  AddStandin(ProgramsDir() + L"\\url-handler.exe");
  RegisterUrlFileHandler(ProgramsDir() + L"\\url-handler.exe");
  const std::wstring link = shortcuts[0].link;
  SHELLEXECUTEINFOW open{};
  open.cbSize = sizeof open;
  open.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  open.lpFile = link.c_str();
  open.nShow = SW_SHOWNORMAL;
  ASSERT_TRUE(ShellExecuteExW(&open)) << GetLastError();
  if (open.hProcess != nullptr) {
    EXPECT_EQ(WaitForSingleObject(open.hProcess, 60000 + StartAllowanceMs()), WAIT_OBJECT_0);
    CloseHandle(open.hProcess);
  }
  const std::vector<Event> events = Events(6, 10000 + StartAllowanceMs());
  const Event browserStart = StartOf(events, "browser.exe");
  const Event browserEnd = EndOf(events, "browser.exe");
  const Event url = StartOf(events, "url-handler.exe");
  const Event companion = StartOf(events, "wgame.exe");
  EXPECT_LT(browserStart.ms, browserEnd.ms);
  EXPECT_LE(browserEnd.ms, url.ms) << "play.url opened before the browser's end";
  EXPECT_LT(url.ms, companion.ms) << "the companion before play.url";
  EXPECT_NE(LowerUtf8(url.commandLine).find(LowerUtf8(Utf8(folder + L"\\play.url"))),
            std::string::npos)
      << url.commandLine;
  for (const Event& start : {browserStart, url, companion}) {
    EXPECT_EQ(LowerUtf8(start.directory), LowerUtf8(Utf8(folder)))
        << start.image << " started elsewhere";
  }

  // The player saved a game; then uninstalls from Installed apps.
  CreateDirectoryW((folder + L"\\saves").c_str(), nullptr);
  WriteFileText(folder + L"\\saves\\slot1.sav", "level 3\r\n");
  EXPECT_EQ(RunToEnd(RegText(HKEY_CURRENT_USER, kEntry, L"QuietUninstallString"), 60000), 0u);
  // The uninstaller goes on from a copy of itself in the temporary folder, and takes its own file
  // away last.
  const unsigned long long deadline = Now() + 60000 + StartAllowanceMs();
  while (Exists(folder + L"\\uninstall.exe") && Now() < deadline) Sleep(100);
  Sleep(500);
  EXPECT_EQ(Entries(folder), (std::vector<std::wstring>{L"saves", L"saves\\slot1.sav"}));
  EXPECT_FALSE(Exists(StartMenu()));
  EXPECT_FALSE(Exists(DesktopLink()));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kEntry));
}

}  // namespace
