#include "installer/installation.h"

#include <algorithm>

#include "platform/services.h"
#include "platform/text.h"

namespace {

// Neither a record nor a list of ours comes near this; a larger file is no record of ours.
const DWORD kLargestFile = 4u << 20;

std::size_t Depth(const LaunchText& entry) {
  return static_cast<std::size_t>(std::count(entry.begin(), entry.end(), u'\\'));
}

bool Contains(const std::vector<LaunchText>& list, const LaunchText& entry) {
  const LaunchText folded = FoldLowerSystem(entry);
  return std::any_of(list.begin(), list.end(),
                     [&](const LaunchText& other) { return FoldLowerSystem(other) == folded; });
}

void AddOnce(std::vector<LaunchText>& list, const LaunchText& entry) {
  if (!Contains(list, entry)) list.push_back(entry);
}

// `entries` into the plan: files as they come, folders the deepest first.
RemovalPlan PlanOf(const std::vector<LaunchText>& entries, const std::vector<LaunchText>& keep) {
  RemovalPlan plan;
  for (const LaunchText& entry : entries) {
    if (!IsFolderEntry(entry)) {
      AddOnce(plan.files, entry);
    } else if (!Contains(keep, entry)) {
      AddOnce(plan.folders, entry);
    }
  }
  std::stable_sort(plan.folders.begin(), plan.folders.end(),
                   [](const LaunchText& a, const LaunchText& b) { return Depth(a) > Depth(b); });
  return plan;
}

bool Usable(const Record& record) {
  return record.state == RecordState::kTrusted || record.state == RecordState::kLegacy;
}

LaunchText Below(const LaunchText& folder, LaunchText entry) {
  if (IsFolderEntry(entry)) entry.pop_back();
  return folder + u"\\" + entry;
}

bool IsMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// True when a folder on the way from `folder` to `entry` is a reparse point: what lies behind it
// is somewhere else, and not the installation's.
bool BehindReparsePoint(const LaunchText& folder, const LaunchText& entry) {
  for (std::size_t cut = entry.find(u'\\'); cut != LaunchText::npos && cut + 1 < entry.size();
       cut = entry.find(u'\\', cut + 1)) {
    const DWORD attributes = GetFileAttributesW(Wide(Below(folder, entry.substr(0, cut))));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      return true;
    }
  }
  return false;
}

// The set-aside folder, made when missing; false when it is not a plain folder of ours.
bool SetAsideFolderReady(const LaunchText& setAside) {
  const DWORD attributes = GetFileAttributesW(Wide(setAside));
  if (attributes == INVALID_FILE_ATTRIBUTES) return CreateDirectoryW(Wide(setAside), nullptr) != 0;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Removes the file at `entry`: true when it is gone (or was never there, or is not the
// installation's to remove).
bool RemoveFile(const LaunchText& folder, const LaunchText& entry) {
  if (BehindReparsePoint(folder, entry)) return true;
  const LaunchText path = Below(folder, entry);
  const DWORD attributes = GetFileAttributesW(Wide(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) return IsMissing(GetLastError());
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return true;  // a folder now: not what was installed
  // Read-only (the player's doing, or a copy from a disc) is no reason to keep an installed file.
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    SetFileAttributesW(Wide(path), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  }
  return DeleteFileW(Wide(path)) != 0;
}

void RemoveEmptyFolder(const LaunchText& folder, const LaunchText& entry) {
  if (BehindReparsePoint(folder, entry)) return;
  const LaunchText path = Below(folder, entry);
  const DWORD attributes = GetFileAttributesW(Wide(path));
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
      !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    RemoveDirectoryW(Wide(path));  // fails while the player's files are in it, as it should
  }
}

// The whole file at `path`; false when it cannot be read or is larger than any of ours.
bool ReadWholeFile(const LaunchText& path, std::vector<BYTE>& bytes) {
  const HANDLE file = CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const DWORD size = GetFileSize(file, nullptr);
  bool read = size != INVALID_FILE_SIZE && size <= kLargestFile;
  if (read) {
    bytes.assign(size, 0);
    DWORD done = 0;
    read = size == 0 || (ReadFile(file, bytes.data(), size, &done, nullptr) && done == size);
  }
  CloseHandle(file);
  return read;
}

const LaunchText kJournalName = u"update-journal.txt";
const LaunchText kWriting = u"#writing";
const LaunchText kCommitted = u"#committed";

LaunchText JournalPath(const LaunchText& folder) {
  return folder + u"\\" + kSetAsideName + u"\\" + kJournalName;
}

// Writes all of `bytes` to `file` from where it stands, flushes and closes it: true only when all
// of that succeeded.
bool WriteAll(HANDLE file, const std::vector<BYTE>& bytes) {
  DWORD written = 0;
  const bool whole =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size() && FlushFileBuffers(file);
  return CloseHandle(file) && whole;
}

// Appends `line` to the journal, made with its byte-order mark when new, and flushes it: the move
// it announces comes only after it is on the disk.
bool Journal(const LaunchText& folder, const LaunchText& line) {
  const HANDLE file = CreateFileW(Wide(JournalPath(folder)), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const DWORD end = SetFilePointer(file, 0, nullptr, FILE_END);
  if (end == INVALID_SET_FILE_POINTER) {
    CloseHandle(file);
    return false;
  }
  std::vector<BYTE> bytes;
  if (end == 0) bytes = {0xFF, 0xFE};
  AppendLine(bytes, line);
  return WriteAll(file, bytes);
}

struct Move {
  LaunchText entry;     // where the file was
  LaunchText setAside;  // its name in the set-aside folder
};

struct JournalState {
  bool found = false;
  bool usable = false;  // every whole line is one this installer writes, naming plain entries
  bool writing = false;
  bool committed = false;
  std::vector<Move> moves;
  std::vector<LaunchText> added;  // the new version's entries
};

// An entry of the journal: plain, or the record or uninstall.exe, which an update sets aside too.
bool JournalEntry(const LaunchText& entry, std::size_t folderLength) {
  const EntryFault fault = CheckEntry(entry, folderLength);
  return fault == EntryFault::kPlain ||
         (fault == EntryFault::kInstallersOwn &&
          (FoldLowerAscii(entry) == kRecordName || FoldLowerAscii(entry) == kUninstaller));
}

// The journal's whole lines; a line cut short by a crash is no line.
JournalState ReadJournal(const LaunchText& folder) {
  JournalState journal;
  std::vector<BYTE> bytes;
  if (GetFileAttributesW(Wide(JournalPath(folder))) == INVALID_FILE_ATTRIBUTES) return journal;
  journal.found = true;
  if (!ReadWholeFile(JournalPath(folder), bytes) || bytes.size() < 2 || bytes[0] != 0xFF ||
      bytes[1] != 0xFE) {
    return journal;
  }
  LaunchText line;
  for (std::size_t at = 2; at + 1 < bytes.size(); at += 2) {
    const auto unit = static_cast<char16_t>(bytes[at] | (bytes[at + 1] << 8));
    if (unit != u'\n' || line.empty() || line.back() != u'\r') {
      line += unit;
      continue;
    }
    line.pop_back();
    const std::size_t bar = line.find(u'|');
    const LaunchText kind = line.substr(0, bar);
    const LaunchText rest = bar == LaunchText::npos ? LaunchText() : line.substr(bar + 1);
    const std::size_t second = rest.find(u'|');
    if (line == kWriting) {
      journal.writing = true;
    } else if (line == kCommitted) {
      journal.committed = true;
    } else if (kind == u"moved" && second != LaunchText::npos &&
               JournalEntry(rest.substr(0, second), folder.size()) &&
               CheckEntry(rest.substr(second + 1), folder.size()) == EntryFault::kPlain &&
               rest.find(u'\\', second) == LaunchText::npos) {
      journal.moves.push_back({rest.substr(0, second), rest.substr(second + 1)});
    } else if (kind == u"new" && JournalEntry(rest, folder.size())) {
      journal.added.push_back(rest);
    } else if (line != u"#update:1") {
      return journal;  // not a journal of ours: nothing in it is followed
    }
    line.clear();
  }
  journal.usable = true;
  return journal;
}

// Moves the file at `entry` aside as "<n>-<its name>", the first n free, journaled first.
bool SetAside(const LaunchText& folder, const LaunchText& entry) {
  const LaunchText setAside = folder + u"\\" + kSetAsideName;
  if (!SetAsideFolderReady(setAside)) return false;
  const LaunchText name = entry.substr(entry.rfind(u'\\') + 1);
  for (int n = 1; n < 1000; ++n) {
    LaunchText aside = Decimal(static_cast<std::size_t>(n));
    aside.append(u"-").append(name);
    LaunchText target = setAside;
    target.append(u"\\").append(aside);
    if (GetFileAttributesW(Wide(target)) != INVALID_FILE_ATTRIBUTES) continue;
    LaunchText line = u"moved|";
    line.append(entry).append(u"|").append(aside);
    return Journal(folder, line) && MoveFileW(Wide(Below(folder, entry)), Wide(target)) != 0;
  }
  return false;
}

// Whether the file at `entry` is one to set aside: there, a file, and not behind a reparse point.
bool IsInstalledFile(const LaunchText& folder, const LaunchText& entry) {
  if (BehindReparsePoint(folder, entry)) return false;
  const DWORD attributes = GetFileAttributesW(Wide(Below(folder, entry)));
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<LaunchText> RollBack(const LaunchText& folder, const JournalState& journal) {
  std::vector<LaunchText> stayed;
  if (journal.writing) {
    for (const LaunchText& entry : journal.added) {
      if (!IsFolderEntry(entry)) RemoveFile(folder, entry);
    }
  }
  for (auto move = journal.moves.rbegin(); move != journal.moves.rend(); ++move) {
    LaunchText aside = folder;
    aside.append(u"\\").append(kSetAsideName).append(u"\\").append(move->setAside);
    if (GetFileAttributesW(Wide(aside)) == INVALID_FILE_ATTRIBUTES) continue;  // never moved
    RemoveFile(folder, move->entry);  // the new version's, where it wrote one
    if (!MoveFileW(Wide(aside), Wide(Below(folder, move->entry)))) stayed.push_back(move->entry);
  }
  RemovalPlan added = PlanOf(journal.added, {});
  for (const LaunchText& entry : added.folders) RemoveEmptyFolder(folder, entry);
  if (stayed.empty()) {
    DeleteFileW(Wide(JournalPath(folder)));
    RemoveDirectoryW(Wide(folder + u"\\" + kSetAsideName));
  }
  return stayed;
}

using QueryImageFn = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, DWORD*);
using ModuleFileFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);

// `path` as its long form (GetLongPathNameW, where it exists), case folded, no trailing backslash.
LaunchText LongForm(const LaunchText& path) {
  LaunchText buffer(MAX_PATH, u'\0');
  const DWORD length = GetLongPathNameW(Wide(path), WideBuffer(buffer), MAX_PATH);
  LaunchText form = length != 0 && length < MAX_PATH ? buffer.substr(0, length) : path;
  while (form.size() > 3 && form.back() == u'\\') form.pop_back();
  return FoldLowerSystem(form);
}

// psapi.dll from the system folder, by its full path: never one in the game's folder.
HMODULE LoadPsapi() {
  WCHAR system[MAX_PATH];
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  return LoadLibraryW(Wide(TextUpToZero(system, length) + u"\\psapi.dll"));
}

// The full image path of process `id`, "" when this Windows will not tell it. From Vista on with
// PROCESS_QUERY_LIMITED_INFORMATION alone, which is granted even for an elevated process; before,
// through psapi with the rights it needs. Both bound by name: Windows 2000 has neither in kernel32.
LaunchText ImageOf(DWORD id) {
  WCHAR path[MAX_PATH];
  DWORD size = MAX_PATH;
  const HMODULE kernel32 = GetModuleHandleW(Wide(u"kernel32.dll"));
  const auto query = kernel32 == nullptr
                         ? nullptr
                         : BindByName<QueryImageFn>(kernel32, "QueryFullProcessImageNameW");
  if (query != nullptr) {
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (process == nullptr) return LaunchText();
    const BOOL read = query(process, 0, path, &size);
    CloseHandle(process);
    return read ? TextUpToZero(path, size) : LaunchText();
  }
  const HMODULE psapi = LoadPsapi();
  if (psapi == nullptr) return LaunchText();
  const auto moduleFile = BindByName<ModuleFileFn>(psapi, "GetModuleFileNameExW");
  const HANDLE process = moduleFile == nullptr
                             ? nullptr
                             : OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
  LaunchText image;
  if (process != nullptr) {
    const DWORD length = moduleFile(process, nullptr, path, MAX_PATH);
    if (length != 0 && length < MAX_PATH) image = TextUpToZero(path, length);
    CloseHandle(process);
  }
  FreeLibrary(psapi);
  return image;
}

// The installed name of a set-aside file "<n>-<name>".
LaunchText SetAsideName(const LaunchText& leaf) {
  const std::size_t dash = leaf.find(u'-');
  return dash == LaunchText::npos ? leaf : leaf.substr(dash + 1);
}

struct WindowsOf {
  const std::vector<InstalledProgram>* programs;
  bool posted;
};

BOOL WINAPI AskToClose(HWND window, LPARAM parameter) {
  auto* of = reinterpret_cast<WindowsOf*>(parameter);
  DWORD id = 0;
  GetWindowThreadProcessId(window, &id);
  for (const InstalledProgram& program : *of->programs) {
    if (program.processId == id && IsWindowVisible(window)) {
      PostMessageW(window, WM_CLOSE, 0, 0);
      of->posted = true;
    }
  }
  return TRUE;
}

// The entry's InstallLocation, "" when it has none.
LaunchText EntryLocation(const LaunchText& game) {
  const LaunchText key = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + game;
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, Wide(key), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) {
    return LaunchText();
  }
  WCHAR value[MAX_PATH] = {};
  DWORD type = 0;
  DWORD bytes = sizeof value;
  const LSTATUS read = RegQueryValueExW(opened, Wide(u"InstallLocation"), nullptr, &type,
                                        reinterpret_cast<BYTE*>(value), &bytes);
  RegCloseKey(opened);
  if (read != ERROR_SUCCESS || type != REG_SZ) return LaunchText();
  return TextUpToZero(value, bytes / sizeof(WCHAR));
}

}  // namespace

RemovalPlan PlanUpdate(const Record& old, const std::vector<LaunchText>& own) {
  std::vector<LaunchText> entries;
  for (const LaunchText& entry : own) {
    if (!IsFolderEntry(entry)) entries.push_back(entry);
  }
  if (Usable(old)) entries.insert(entries.end(), old.entries.begin(), old.entries.end());
  return PlanOf(entries, own);
}

RemovalPlan PlanUninstall(const Record& old, const std::vector<LaunchText>& own) {
  std::vector<LaunchText> entries = own;
  if (Usable(old)) entries.insert(entries.begin(), old.entries.begin(), old.entries.end());
  return PlanOf(entries, {});
}

Record ReadRecord(const LaunchText& folder) {
  const LaunchText path = folder + u"\\" + kRecordName;
  Record record;
  const DWORD attributes = GetFileAttributesW(Wide(path));
  if (attributes == INVALID_FILE_ATTRIBUTES && IsMissing(GetLastError())) return record;
  std::vector<BYTE> bytes;
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      !ReadWholeFile(path, bytes)) {
    record.state = RecordState::kUntrusted;
    return record;
  }
  return ParseRecord(bytes, folder.size());
}

bool WriteRecord(const LaunchText& folder, const std::vector<LaunchText>& entries) {
  const std::vector<BYTE> bytes = RecordBytes(entries);
  const HANDLE file = CreateFileW(Wide(folder + u"\\" + kRecordName), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return file != INVALID_HANDLE_VALUE && WriteAll(file, bytes);
}

bool ReadOwnList(const LaunchText& path, const LaunchText& folder, std::vector<LaunchText>& own) {
  std::vector<BYTE> bytes;
  own.clear();
  return ReadWholeFile(path, bytes) && ParseOwnList(bytes, folder.size(), own) && !own.empty();
}

std::vector<LaunchText> CarryOut(const LaunchText& folder, const RemovalPlan& plan) {
  std::vector<LaunchText> stayed;
  for (const LaunchText& entry : plan.files) {
    if (!RemoveFile(folder, entry)) stayed.push_back(entry);
  }
  for (const LaunchText& entry : plan.folders) RemoveEmptyFolder(folder, entry);
  return stayed;
}

std::vector<LaunchText> ClearSetAside(const LaunchText& folder) {
  const LaunchText setAside = folder + u"\\" + kSetAsideName;
  const DWORD attributes = GetFileAttributesW(Wide(setAside));
  if (attributes == INVALID_FILE_ATTRIBUTES && IsMissing(GetLastError())) return {};
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return {kSetAsideName};  // not a folder of ours: left as it is
  }
  std::vector<LaunchText> stayed;
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW(Wide(setAside + u"\\*"), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const LaunchText name = TextUpToZero(found.cFileName, MAX_PATH);
      if (name == u"." || name == u"..") continue;
      const LaunchText entry = kSetAsideName + u"\\" + name;
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
          !DeleteFileW(Wide(folder + u"\\" + entry))) {
        stayed.push_back(entry);
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  if (stayed.empty() && !RemoveDirectoryW(Wide(setAside))) stayed.push_back(kSetAsideName);
  return stayed;
}

bool SameFolder(const LaunchText& a, const LaunchText& b) {
  return !a.empty() && !b.empty() && LongForm(a) == LongForm(b);
}

std::vector<LaunchText> RemoveShortcuts(const LaunchText& list) {
  std::vector<LaunchText> stayed;
  LaunchText path;
  for (char16_t unit : list + u"|") {
    if (unit != u'|') {
      path += unit;
      continue;
    }
    // A full path: on a drive, or on a share (a Desktop redirected to the network).
    const bool full = path.size() > 2 && ((path[1] == u':' && path[2] == u'\\') ||
                                          (path[0] == u'\\' && path[1] == u'\\'));
    const bool shortcut = full && path.size() > 7 &&
                          FoldLowerAscii(path.substr(path.size() - 4)) == u".lnk" &&
                          path.find_first_of(u"*?") == LaunchText::npos;
    if (shortcut && !DeleteFileW(Wide(path)) && !IsMissing(GetLastError())) {
      stayed.push_back(path);
    }
    path.clear();
  }
  return stayed;
}

bool TakeInstallerLock(const LaunchText& game) {
  // Never closed: the lock lasts as long as this process. "Local\" keeps it to this session, where
  // a per-user installation's players are; Windows without Terminal Services ignores the prefix.
  const HANDLE lock = CreateMutexW(nullptr, FALSE, Wide(u"Local\\" + game + u" setup"));
  const DWORD error = GetLastError();
  if (lock == nullptr) return error != ERROR_ACCESS_DENIED;  // held by another user's installer
  return error != ERROR_ALREADY_EXISTS;
}

std::vector<InstalledProgram> RunningPrograms(const LaunchText& folder,
                                              const std::vector<LaunchText>& files) {
  const LaunchText root = LongForm(folder) + u"\\";
  const LaunchText setAside = root + FoldLowerAscii(kSetAsideName) + u"\\";
  std::vector<InstalledProgram> programs;
  const HANDLE snapshot = ToolhelpCreateSnapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == nullptr || snapshot == INVALID_HANDLE_VALUE) return programs;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ToolhelpProcessFirst(snapshot, &entry); more;
       more = ToolhelpProcessNext(snapshot, &entry)) {
    if (entry.th32ProcessID == GetCurrentProcessId()) continue;
    const LaunchText image = ImageOf(entry.th32ProcessID);
    if (image.empty()) continue;
    const LaunchText path = LongForm(image);
    if (path.compare(0, root.size(), root) != 0) continue;
    const LaunchText below = path.substr(root.size());  // folded, as the long form is
    if (path.compare(0, setAside.size(), setAside) == 0 &&
        path.find(u'\\', setAside.size()) == LaunchText::npos) {
      programs.push_back({entry.th32ProcessID, SetAsideName(image.substr(image.rfind(u'\\') + 1))});
    } else {
      for (const LaunchText& file : files) {
        if (FoldLowerSystem(file) == below) {
          programs.push_back({entry.th32ProcessID, file.substr(file.rfind(u'\\') + 1)});
          break;
        }
      }
    }
  }
  CloseHandle(snapshot);
  return programs;
}

std::vector<LaunchText> EndPrograms(const std::vector<InstalledProgram>& programs, DWORD graceMs) {
  std::vector<HANDLE> handles;
  std::vector<LaunchText> refused;
  for (const InstalledProgram& program : programs) {
    const HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, program.processId);
    if (process == nullptr && GetLastError() != ERROR_INVALID_PARAMETER) {
      refused.push_back(program.name);  // ERROR_INVALID_PARAMETER: it has ended meanwhile
    }
    handles.push_back(process);
  }
  std::vector<LaunchText> stayed;
  if (refused.empty()) {
    WindowsOf windows{&programs, false};
    EnumWindows(&AskToClose, reinterpret_cast<LPARAM>(&windows));
    // One wait in all, for every program asked to close: each gets what is left of it.
    const DWORD deadline = GetTickCount() + graceMs;
    for (std::size_t i = 0; i < handles.size(); ++i) {
      if (handles[i] == nullptr) continue;
      const auto left = static_cast<LONG>(deadline - GetTickCount());
      if (windows.posted && left > 0) WaitForSingleObject(handles[i], static_cast<DWORD>(left));
      if (WaitForSingleObject(handles[i], 0) == WAIT_OBJECT_0) continue;
      TerminateProcess(handles[i], 1);
      if (WaitForSingleObject(handles[i], 10000) != WAIT_OBJECT_0)
        stayed.push_back(programs[i].name);
    }
  }
  for (HANDLE process : handles) {
    if (process != nullptr) CloseHandle(process);
  }
  return refused.empty() ? stayed : refused;
}

bool FinishUninstall(DWORD uninstaller, const LaunchText& folder, const LaunchText& game) {
  const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, uninstaller);
  if (process != nullptr) {
    WaitForSingleObject(process, INFINITE);
    CloseHandle(process);
  }
  if (GetFileAttributesW(Wide(folder + u"\\" + kRecordName)) != INVALID_FILE_ATTRIBUTES ||
      SameFolder(EntryLocation(game), folder)) {
    return false;  // installed again meanwhile: its uninstall.exe is the new installation's
  }
  const LaunchText uninstall = folder + u"\\" + kUninstaller;
  // The file may stay mapped a moment after its process has ended.
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (DeleteFileW(Wide(uninstall)) || IsMissing(GetLastError())) {
      RemoveDirectoryW(Wide(folder));
      return true;
    }
    Sleep(200);
  }
  return false;
}

UpdateStart BeginUpdate(const LaunchText& folder, const std::vector<LaunchText>& own) {
  RecoverUpdate(folder);
  ClearSetAside(folder);  // what still runs stays there, for the next time
  UpdateStart start;
  const Record old = ReadRecord(folder);
  start.old = old.state;
  std::vector<LaunchText> files = PlanUpdate(old, own).files;
  files.push_back(kRecordName);
  files.push_back(kUninstaller);
  if (!SetAsideFolderReady(folder + u"\\" + kSetAsideName) || !Journal(folder, u"#update:1")) {
    start.stayed.push_back(kSetAsideName);
    return start;
  }
  for (const LaunchText& entry : files) {
    if (IsInstalledFile(folder, entry) && !SetAside(folder, entry)) start.stayed.push_back(entry);
  }
  std::vector<LaunchText> both = own;
  if (old.state == RecordState::kTrusted || old.state == RecordState::kLegacy) {
    for (const LaunchText& entry : old.entries) AddOnce(both, entry);
  }
  bool ready = start.stayed.empty();
  for (const LaunchText& entry : own) ready = ready && Journal(folder, u"new|" + entry);
  ready = ready && Journal(folder, kWriting) && WriteRecord(folder, both);
  if (!ready) {
    if (start.stayed.empty()) start.stayed.push_back(kRecordName);
    RollBack(folder, ReadJournal(folder));
  }
  return start;
}

std::vector<LaunchText> RollBackUpdate(const LaunchText& folder) {
  const JournalState journal = ReadJournal(folder);
  return journal.usable ? RollBack(folder, journal) : std::vector<LaunchText>{kSetAsideName};
}

bool CommitUpdate(const LaunchText& folder, const std::vector<LaunchText>& own) {
  const Record both = ReadRecord(folder);
  const bool recorded = WriteRecord(folder, own) && Journal(folder, kCommitted);
  ClearSetAside(folder);  // the journal with it; what still runs stays, for the next time
  if (recorded) {
    for (const LaunchText& entry : PlanUpdate(both, own).folders) RemoveEmptyFolder(folder, entry);
  }
  return recorded;
}

void RecoverUpdate(const LaunchText& folder) {
  const JournalState journal = ReadJournal(folder);
  if (!journal.found) return;
  if (journal.usable && !journal.committed) {
    RollBack(folder, journal);
  } else {
    DeleteFileW(Wide(JournalPath(folder)));  // done, or not ours to follow
  }
}
