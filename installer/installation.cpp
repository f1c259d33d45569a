#include "installer/installation.h"

#include <algorithm>

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

// Renames `path` into the set-aside folder, as "<n>-<its name>", the first n not yet taken.
bool SetAside(const LaunchText& folder, const LaunchText& path) {
  const LaunchText setAside = folder + u"\\" + kSetAsideName;
  if (!SetAsideFolderReady(setAside)) return false;
  const LaunchText name = path.substr(path.rfind(u'\\') + 1);
  for (int n = 1; n < 1000; ++n) {
    LaunchText number;
    for (int rest = n; rest != 0; rest /= 10) {
      number.insert(number.begin(), static_cast<char16_t>(u'0' + rest % 10));
    }
    LaunchText target = setAside;
    target.append(u"\\").append(number).append(u"-").append(name);
    if (MoveFileW(Wide(path), Wide(target))) return true;
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return false;
  }
  return false;
}

// Removes the file at `entry`: true when it is gone (or was never there, or is not the
// installation's to remove).
bool RemoveFile(const LaunchText& folder, const LaunchText& entry, bool setAside) {
  if (BehindReparsePoint(folder, entry)) return true;
  const LaunchText path = Below(folder, entry);
  const DWORD attributes = GetFileAttributesW(Wide(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) return IsMissing(GetLastError());
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return true;  // a folder now: not what was installed
  // Read-only (the player's doing, or a copy from a disc) is no reason to keep an installed file.
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    SetFileAttributesW(Wide(path), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  }
  if (DeleteFileW(Wide(path))) return true;
  return setAside && SetAside(folder, path);
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
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool whole =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  const bool flushed = whole && FlushFileBuffers(file);
  return CloseHandle(file) && flushed;
}

bool ReadOwnList(const LaunchText& path, const LaunchText& folder, std::vector<LaunchText>& own) {
  std::vector<BYTE> bytes;
  own.clear();
  return ReadWholeFile(path, bytes) && ParseOwnList(bytes, folder.size(), own) && !own.empty();
}

std::vector<LaunchText> CarryOut(const LaunchText& folder, const RemovalPlan& plan, bool setAside) {
  std::vector<LaunchText> stayed;
  for (const LaunchText& entry : plan.files) {
    if (!RemoveFile(folder, entry, setAside)) stayed.push_back(entry);
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
  auto longForm = [](const LaunchText& path) {
    LaunchText buffer(MAX_PATH, u'\0');
    const DWORD length = GetLongPathNameW(Wide(path), WideBuffer(buffer), MAX_PATH);
    LaunchText form = length != 0 && length < MAX_PATH ? buffer.substr(0, length) : path;
    while (form.size() > 3 && form.back() == u'\\') form.pop_back();
    return FoldLowerSystem(form);
  };
  return !a.empty() && !b.empty() && longForm(a) == longForm(b);
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
