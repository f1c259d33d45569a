#include "tests/fake_windows/fake_windows.h"

#include "platform/system_process_information.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace fake {
namespace {

std::unique_ptr<Machine> machine = std::make_unique<Machine>();

char16_t AsciiLower(char16_t c) {
  return c >= u'A' && c <= u'Z' ? c + 0x20 : c;
}

LaunchText Text(LPCWSTR s) {
  return s == nullptr ? LaunchText() : LaunchText(reinterpret_cast<const char16_t*>(s));
}

std::vector<LaunchText> SplitPath(const LaunchText& path) {
  std::vector<LaunchText> parts;
  LaunchText part;
  for (char16_t c : path) {
    if (c == u'\\') {
      parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  parts.push_back(part);
  return parts;
}

const HKEY kRoots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};

RegKey* RootNode(HKEY key) {
  if (key == HKEY_CLASSES_ROOT) return &machine->classesRoot;
  if (key == HKEY_CURRENT_USER) return &machine->currentUser;
  if (key == HKEY_LOCAL_MACHINE) return &machine->localMachine;
  return nullptr;
}

bool IsRoot(HKEY key) {
  return std::find(std::begin(kRoots), std::end(kRoots), key) != std::end(kRoots);
}

RegKey* KeyNode(HKEY key) {
  if (RegKey* root = RootNode(key)) return root;
  const auto it = machine->openKeys.find(key);
  return it == machine->openKeys.end() ? nullptr : it->second;
}

// Simple mapping over the ranges tests use: ASCII, Latin-1, Latin Extended-A, basic Greek and
// Cyrillic. One unit to one unit, as CharUpperBuffW/CharLowerBuffW do; ß and surrogates stay.
char16_t CaseMap(char16_t c, bool upper) {
  auto shift = [&](char16_t lowFirst, char16_t lowLast, int delta) -> int {
    if (upper && c >= lowFirst && c <= lowLast) return c - delta;
    if (!upper && c >= lowFirst - delta && c <= lowLast - delta) return c + delta;
    return -1;
  };
  if (c == 0x00D7 || c == 0x00F7 || c == 0x03A2 || c == 0x03C2) return c;
  for (int r : {shift(u'a', u'z', 0x20), shift(0x00E0, 0x00FE, 0x20), shift(0x03B1, 0x03C9, 0x20),
                shift(0x0430, 0x044F, 0x20), shift(0x0450, 0x045F, 0x50)}) {
    if (r >= 0) return static_cast<char16_t>(r);
  }
  if (c == 0x00FF && upper) return 0x0178;
  if (c == 0x0178 && !upper) return 0x00FF;
  if (c >= 0x0100 && c <= 0x0137 && c != 0x0130 && c != 0x0131) {
    return static_cast<char16_t>(upper ? (c & ~1u) : (c | 1u));
  }
  return c;
}

DWORD CaseMapBuffer(LPWSTR text, DWORD length, bool upper) {
  if (text == nullptr) return 0;
  for (DWORD i = 0; i < length; ++i) text[i] = CaseMap(text[i], upper);
  return length;
}

bool HasInvalidNameCharacter(const LaunchText& path) {
  return path.find_first_of(u"*?<>|\"") != LaunchText::npos;
}

LaunchText ParentOf(const LaunchText& fullPath) {
  const auto cut = fullPath.rfind(u'\\');
  return cut == LaunchText::npos ? LaunchText() : fullPath.substr(0, cut);
}

bool DirectoryExists(const LaunchText& fullPath) {
  if (fullPath.size() == 2 && fullPath[1] == u':') return true;  // a drive root
  const auto it = machine->files.find(fullPath);
  return it != machine->files.end() && it->second.directory;
}

DWORD MissingError(const LaunchText& fullPath) {
  return DirectoryExists(ParentOf(fullPath)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

DWORD Attributes(const FileEntry& entry) {
  return (entry.directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE) |
         (entry.reparsePoint ? FILE_ATTRIBUTE_REPARSE_POINT : 0) |
         (entry.readOnly ? FILE_ATTRIBUTE_READONLY : 0);
}

void FillFound(const LaunchText& name, const FileEntry& entry, WIN32_FIND_DATAW* found) {
  std::memset(found, 0, sizeof *found);
  found->dwFileAttributes = Attributes(entry);
  const LaunchText leaf = name.substr(0, MAX_PATH - 1);
  std::copy(leaf.begin(), leaf.end(), found->cFileName);
}

// The entry at `path` for a file operation, or null with the error set.
FileEntry* Existing(const LaunchText& path) {
  const LaunchText full = machine->FullPath(path);
  const auto it = machine->files.find(full);
  if (it == machine->files.end()) {
    machine->lastError = MissingError(full);
    return nullptr;
  }
  return &it->second;
}

BOOL Fail(DWORD error) {
  machine->lastError = error;
  return FALSE;
}

bool Alive(const Process& p) {
  return p.start <= machine->now && machine->now < p.end;
}

}  // namespace

bool NoCaseLess::operator()(const LaunchText& a, const LaunchText& b) const {
  return std::lexicographical_compare(
      a.begin(), a.end(), b.begin(), b.end(),
      [](char16_t x, char16_t y) { return AsciiLower(x) < AsciiLower(y); });
}

Machine& M() {
  if (!machine) Reset();
  return *machine;
}

void Reset() {
  if (machine) {
    *machine = Machine();
  } else {
    machine = std::make_unique<Machine>();
  }
  machine->AddDirectory(machine->currentDirectory);
}

std::string Narrow(const LaunchText& text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

std::vector<BYTE> Utf16Bytes(const LaunchText& text, bool terminated) {
  std::vector<BYTE> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<BYTE>(c & 0xFF));
    bytes.push_back(static_cast<BYTE>(c >> 8));
  }
  if (terminated) bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

std::vector<LaunchText> Running() {
  std::vector<LaunchText> names;
  for (const Process& p : machine->processes) {
    if (Alive(p)) names.push_back(p.image);
  }
  return names;
}

HANDLE Machine::NewHandle() {
  nextHandle += 4;
  return reinterpret_cast<HANDLE>(nextHandle);
}

RegKey& Machine::Key(HKEY root, const LaunchText& path) {
  RegKey* node = RootNode(root);
  if (node == nullptr) throw std::logic_error("not a predefined root");
  if (path.empty()) return *node;
  for (const LaunchText& part : SplitPath(path)) {
    auto& child = node->subkeys[part];
    if (!child) child = std::make_unique<RegKey>();
    node = child.get();
  }
  return *node;
}

void Machine::SetValue(HKEY root, const LaunchText& path, const LaunchText& name, DWORD type,
                       std::vector<BYTE> bytes) {
  Key(root, path).values[name] = RegValue{type, std::move(bytes)};
}

void Machine::SetText(HKEY root, const LaunchText& path, const LaunchText& name,
                      const LaunchText& text, DWORD type, bool terminated) {
  SetValue(root, path, name, type, Utf16Bytes(text, terminated));
}

LaunchText Machine::FullPath(const LaunchText& path) const {
  const bool absolute =
      (path.size() >= 2 && path[1] == u':') || (!path.empty() && path[0] == u'\\');
  LaunchText full = absolute ? path : currentDirectory + u"\\" + path;
  while (full.size() > 3 && full.back() == u'\\') full.pop_back();
  return full;
}

void Machine::AddFile(const LaunchText& path, FileEntry entry) {
  const LaunchText full = FullPath(path);
  for (LaunchText parent = ParentOf(full); parent.size() > 2; parent = ParentOf(parent)) {
    files[parent].directory = true;
  }
  files[full] = entry;
}

std::vector<LaunchText> Machine::Below(const LaunchText& folder) const {
  const LaunchText prefix = FullPath(folder) + u"\\";
  std::vector<LaunchText> entries;
  for (const auto& [path, entry] : files) {
    const LaunchText start = path.substr(0, prefix.size());
    if (path.size() > prefix.size() && !NoCaseLess()(start, prefix) &&
        !NoCaseLess()(prefix, start)) {
      entries.push_back(path.substr(prefix.size()));
    }
  }
  return entries;
}

void Machine::AddDirectory(const LaunchText& path) {
  FileEntry entry;
  entry.directory = true;
  AddFile(path, entry);
}

DWORD Machine::AddProcess(const LaunchText& image, Time lifetime) {
  const DWORD pid = nextPid++;
  processes.push_back(Process{pid, image, now, lifetime == kForever ? kForever : now + lifetime});
  return pid;
}

DWORD Machine::AddProgram(const LaunchText& path, Time lifetime) {
  const DWORD pid = AddProcess(path.substr(path.rfind(u'\\') + 1), lifetime);
  processes.back().path = path;
  return pid;
}

Process* Machine::FindProcess(DWORD pid) {
  for (Process& process : processes) {
    if (process.pid == pid) return &process;
  }
  return nullptr;
}

DWORD Machine::AddOtherUsersProcess(const LaunchText& image, DWORD session) {
  const DWORD pid = AddProcess(image);
  processes.back().session = session;
  processes.back().mayOpen = false;
  return pid;
}

void Machine::PostAt(Time arrival, UINT message, HWND hwnd) {
  queue.push_back(QueuedMessage{arrival, hwnd, message});
  std::stable_sort(queue.begin(), queue.end(), [](const QueuedMessage& a, const QueuedMessage& b) {
    return a.arrival < b.arrival;
  });
}

}  // namespace fake

using fake::FileEntry;
using fake::Listing;
using fake::machine;

// ---- advapi32 ----

LSTATUS WINAPI RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM desired, PHKEY result) {
  const LaunchText name = fake::Text(subKey);
  auto done = [&](LSTATUS status) {
    machine->regOpens.push_back(fake::RegOpenCall{name, desired, status});
    return status;
  };
  if (result == nullptr) return done(87);  // ERROR_INVALID_PARAMETER
  *result = nullptr;
  fake::RegKey* node = fake::KeyNode(key);
  if (node == nullptr) return done(ERROR_INVALID_HANDLE);
  if (name.empty() && fake::IsRoot(key)) {
    *result = key;
    return done(ERROR_SUCCESS);
  }
  LaunchText path = name;
  if (!path.empty() && path[0] == u'\\') {
    if (key != HKEY_CLASSES_ROOT) return done(ERROR_BAD_PATHNAME);
    path.erase(0, 1);
  }
  while (!path.empty() && path.back() == u'\\') path.pop_back();
  if (!path.empty()) {
    for (const LaunchText& part : fake::SplitPath(path)) {
      if (part.empty()) return done(ERROR_BAD_PATHNAME);
      const auto it = node->subkeys.find(part);
      if (it == node->subkeys.end()) return done(ERROR_FILE_NOT_FOUND);
      node = it->second.get();
    }
  }
  const DWORD wanted = desired & ~static_cast<DWORD>(KEY_WOW64_64KEY | KEY_WOW64_32KEY);
  if ((wanted & ~node->granted) != 0) return done(ERROR_ACCESS_DENIED);
  const HKEY handle = static_cast<HKEY>(machine->NewHandle());
  machine->openKeys[handle] = node;
  *result = handle;
  return done(ERROR_SUCCESS);
}

LSTATUS WINAPI RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data,
                                LPDWORD dataSize) {
  const fake::RegKey* node = fake::KeyNode(key);
  if (node == nullptr) return ERROR_INVALID_HANDLE;
  const auto it = node->values.find(fake::Text(valueName));
  if (it == node->values.end()) {
    if (data == nullptr && dataSize != nullptr) *dataSize = 0;
    return ERROR_FILE_NOT_FOUND;
  }
  const fake::RegValue value = it->second;  // a copy: the hook below may change the original
  const auto stored = static_cast<DWORD>(value.bytes.size());
  if (type != nullptr) *type = value.type;
  if (data == nullptr) {
    if (dataSize != nullptr) *dataSize = stored;
    if (machine->afterValueSizeQuery) machine->afterValueSizeQuery();
    return ERROR_SUCCESS;
  }
  if (dataSize == nullptr) return 87;  // ERROR_INVALID_PARAMETER
  if (*dataSize < stored) {
    *dataSize = stored;
    return ERROR_MORE_DATA;
  }
  if (stored > 0) std::memcpy(data, value.bytes.data(), stored);
  const bool text =
      value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ;
  if (text && *dataSize >= stored + 2) {  // Windows adds an uncounted terminator when there is room
    data[stored] = 0;
    data[stored + 1] = 0;
  }
  *dataSize = stored;
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCloseKey(HKEY key) {
  if (fake::IsRoot(key)) return ERROR_SUCCESS;
  return machine->openKeys.erase(key) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS WINAPI RegFlushKey(HKEY key) {
  ++machine->regFlushes;
  return fake::KeyNode(key) != nullptr ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

// ---- kernel32 ----

BOOL WINAPI GetVersionExW(OSVERSIONINFOW* info) {
  if (info == nullptr || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOW)) {
    machine->lastError = ERROR_INSUFFICIENT_BUFFER;
    return FALSE;
  }
  if (machine->versionFails) return FALSE;
  info->dwMajorVersion = machine->majorVersion;
  info->dwMinorVersion = machine->minorVersion;
  info->dwBuildNumber = 9200;
  info->dwPlatformId = 2;
  return TRUE;
}

DWORD WINAPI GetFileAttributesW(LPCWSTR fileName) {
  const LaunchText path = fake::Text(fileName);
  if (path.empty()) {
    machine->lastError = ERROR_PATH_NOT_FOUND;
    return INVALID_FILE_ATTRIBUTES;
  }
  if (fake::HasInvalidNameCharacter(path)) {
    machine->lastError = ERROR_INVALID_NAME;
    return INVALID_FILE_ATTRIBUTES;
  }
  const LaunchText full = machine->FullPath(path);
  const auto it = machine->files.find(full);
  if (it == machine->files.end()) {
    machine->lastError = fake::MissingError(full);
    return INVALID_FILE_ATTRIBUTES;
  }
  if (it->second.attributesError != 0) {
    machine->lastError = it->second.attributesError;
    return INVALID_FILE_ATTRIBUTES;
  }
  return fake::Attributes(it->second);
}

DWORD WINAPI GetLastError() {
  return machine->lastError;
}

HANDLE WINAPI FindFirstFileW(LPCWSTR fileName, WIN32_FIND_DATAW* findData) {
  ++machine->findFirstCalls;
  const LaunchText path = fake::Text(fileName);
  if (path.size() > 2 && path.compare(path.size() - 2, 2, u"\\*") == 0) {
    // A folder's listing, as Windows gives it: "." and ".." first, then what it holds.
    const LaunchText folder = machine->FullPath(path.substr(0, path.size() - 2));
    if (!fake::DirectoryExists(folder)) {
      machine->lastError = fake::Existing(folder) ? ERROR_PATH_NOT_FOUND : machine->lastError;
      return INVALID_HANDLE_VALUE;
    }
    std::vector<LaunchText> names = {u".", u".."};
    for (const LaunchText& name : machine->Below(folder)) {
      if (name.find(u'\\') == LaunchText::npos) names.push_back(name);
    }
    const HANDLE handle = machine->NewHandle();
    machine->listings[handle] = {folder, names, 0};
    machine->findHandles.insert(handle);
    FindNextFileW(handle, findData);
    return handle;
  }
  const LaunchText full = machine->FullPath(path);
  const auto it = machine->files.find(full);
  if (path.empty() || it == machine->files.end() || it->second.invisibleToFind) {
    machine->lastError = path.empty() ? ERROR_PATH_NOT_FOUND : fake::MissingError(full);
    return INVALID_HANDLE_VALUE;
  }
  std::memset(findData, 0, sizeof *findData);
  findData->dwFileAttributes =
      it->second.directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  const LaunchText leaf = full.substr(full.rfind(u'\\') + 1).substr(0, MAX_PATH - 1);
  std::copy(leaf.begin(), leaf.end(), findData->cFileName);
  const HANDLE handle = machine->NewHandle();
  machine->findHandles.insert(handle);
  return handle;
}

BOOL WINAPI FindNextFileW(HANDLE findFile, WIN32_FIND_DATAW* findData) {
  const auto it = machine->listings.find(findFile);
  if (it == machine->listings.end()) {
    ADD_FAILURE() << "FindNextFileW on a search the fake did not list";
    return fake::Fail(ERROR_INVALID_HANDLE);
  }
  Listing& listing = it->second;
  if (listing.next == listing.names.size()) return fake::Fail(ERROR_NO_MORE_FILES);
  const LaunchText& name = listing.names[listing.next++];
  FileEntry entry;  // "." and "..", or an entry gone since the listing began
  entry.directory = name == u"." || name == u"..";
  const auto found = machine->files.find(listing.folder + u"\\" + name);
  fake::FillFound(name, found == machine->files.end() ? entry : found->second, findData);
  return TRUE;
}

BOOL WINAPI FindClose(HANDLE findFile) {
  machine->listings.erase(findFile);
  return machine->findHandles.erase(findFile) == 1;
}

HANDLE WINAPI CreateFileW(LPCWSTR fileName, DWORD access, DWORD /*share*/,
                          SECURITY_ATTRIBUTES* /*security*/, DWORD disposition, DWORD /*flags*/,
                          HANDLE /*templateFile*/) {
  const LaunchText full = machine->FullPath(fake::Text(fileName));
  FileEntry* entry = fake::Existing(full);
  if (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) {
    if (entry == nullptr && !fake::DirectoryExists(fake::ParentOf(full))) {
      return INVALID_HANDLE_VALUE;
    }
    if (entry != nullptr && (entry->directory || entry->running || entry->heldOpen)) {
      fake::Fail(entry->heldOpen ? ERROR_SHARING_VIOLATION : ERROR_ACCESS_DENIED);
      return INVALID_HANDLE_VALUE;
    }
    FileEntry& made = machine->files[full];
    if (disposition == CREATE_ALWAYS) made.content.clear();
    machine->lastError = entry != nullptr ? ERROR_ALREADY_EXISTS : 0;
  } else if (disposition != OPEN_EXISTING || (access & GENERIC_WRITE)) {
    ADD_FAILURE() << "CreateFileW opening in a way the fake does not model";
    return INVALID_HANDLE_VALUE;
  } else if (entry == nullptr) {
    return INVALID_HANDLE_VALUE;
  } else if (entry->directory || entry->heldOpen) {
    fake::Fail(entry->directory ? ERROR_ACCESS_DENIED : ERROR_SHARING_VIOLATION);
    return INVALID_HANDLE_VALUE;
  }
  const HANDLE handle = machine->NewHandle();
  machine->openFiles[handle] = {full, 0};
  return handle;
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read,
                     OVERLAPPED* /*overlapped*/) {
  const auto it = machine->openFiles.find(file);
  if (it == machine->openFiles.end()) return fake::Fail(ERROR_INVALID_HANDLE);
  const std::vector<BYTE>& content = machine->files[it->second.path].content;
  const std::size_t count = std::min<std::size_t>(toRead, content.size() - it->second.position);
  std::memcpy(buffer, content.data() + it->second.position, count);
  it->second.position += count;
  *read = static_cast<DWORD>(count);
  return TRUE;
}

BOOL WINAPI WriteFile(HANDLE file, const void* buffer, DWORD toWrite, LPDWORD written,
                      OVERLAPPED* /*overlapped*/) {
  const auto it = machine->openFiles.find(file);
  if (it == machine->openFiles.end()) return fake::Fail(ERROR_INVALID_HANDLE);
  FileEntry& entry = machine->files[it->second.path];
  *written = 0;
  if (entry.writeFails) return fake::Fail(ERROR_DISK_FULL);
  const auto* bytes = static_cast<const BYTE*>(buffer);
  entry.content.insert(entry.content.end(), bytes, bytes + toWrite);
  *written = toWrite;
  return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD sizeHigh) {
  const auto it = machine->openFiles.find(file);
  if (it == machine->openFiles.end()) return fake::Fail(ERROR_INVALID_HANDLE), INVALID_FILE_SIZE;
  if (sizeHigh != nullptr) *sizeHigh = 0;
  return static_cast<DWORD>(machine->files[it->second.path].content.size());
}

// Writes always append here: the code under test writes whole files, or appends to them.
DWORD WINAPI SetFilePointer(HANDLE file, LONG distance, LONG* /*distanceHigh*/, DWORD method) {
  const auto it = machine->openFiles.find(file);
  if (it == machine->openFiles.end() || distance != 0 || method != FILE_END) {
    ADD_FAILURE() << "SetFilePointer other than to a file's end";
    return INVALID_SET_FILE_POINTER;
  }
  it->second.position = machine->files[it->second.path].content.size();
  return static_cast<DWORD>(it->second.position);
}

BOOL WINAPI FlushFileBuffers(HANDLE file) {
  return machine->openFiles.count(file) == 1 ? TRUE : fake::Fail(ERROR_INVALID_HANDLE);
}

BOOL WINAPI DeleteFileW(LPCWSTR fileName) {
  FileEntry* entry = fake::Existing(fake::Text(fileName));
  if (entry == nullptr) return FALSE;
  if (entry->directory || entry->running || entry->readOnly) return fake::Fail(ERROR_ACCESS_DENIED);
  if (entry->heldOpen) return fake::Fail(ERROR_SHARING_VIOLATION);
  machine->files.erase(machine->FullPath(fake::Text(fileName)));
  return TRUE;
}

BOOL WINAPI SetFileAttributesW(LPCWSTR fileName, DWORD attributes) {
  FileEntry* entry = fake::Existing(fake::Text(fileName));
  if (entry == nullptr) return FALSE;
  entry->readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  return TRUE;
}

BOOL WINAPI MoveFileW(LPCWSTR existing, LPCWSTR newName) {
  const LaunchText from = machine->FullPath(fake::Text(existing));
  const LaunchText to = machine->FullPath(fake::Text(newName));
  FileEntry* entry = fake::Existing(from);
  if (entry == nullptr) return FALSE;
  if (entry->directory) {
    ADD_FAILURE() << "MoveFileW of a folder, which the installer never moves: "
                  << fake::Narrow(from);
    return fake::Fail(ERROR_ACCESS_DENIED);
  }
  if (entry->heldOpen) return fake::Fail(ERROR_SHARING_VIOLATION);
  if (machine->files.count(to) == 1) return fake::Fail(ERROR_ALREADY_EXISTS);
  if (!fake::DirectoryExists(fake::ParentOf(to))) return fake::Fail(ERROR_PATH_NOT_FOUND);
  const FileEntry moved = *entry;
  machine->files.erase(from);
  machine->files[to] = moved;
  return TRUE;
}

BOOL WINAPI CreateDirectoryW(LPCWSTR path, SECURITY_ATTRIBUTES* /*security*/) {
  const LaunchText full = machine->FullPath(fake::Text(path));
  if (machine->files.count(full) == 1) return fake::Fail(ERROR_ALREADY_EXISTS);
  if (!fake::DirectoryExists(fake::ParentOf(full))) return fake::Fail(ERROR_PATH_NOT_FOUND);
  machine->files[full].directory = true;
  return TRUE;
}

BOOL WINAPI RemoveDirectoryW(LPCWSTR path) {
  const LaunchText full = machine->FullPath(fake::Text(path));
  FileEntry* entry = fake::Existing(full);
  if (entry == nullptr) return FALSE;
  if (!entry->directory) return fake::Fail(ERROR_DIRECTORY);
  if (entry->reparsePoint) {
    ADD_FAILURE() << "RemoveDirectoryW of a reparse point: " << fake::Narrow(full);
    return fake::Fail(ERROR_ACCESS_DENIED);
  }
  if (!machine->Below(full).empty()) return fake::Fail(ERROR_DIR_NOT_EMPTY);
  machine->files.erase(full);
  return TRUE;
}

DWORD WINAPI GetLongPathNameW(LPCWSTR shortPath, LPWSTR longPath, DWORD size) {
  const LaunchText full = machine->FullPath(fake::Text(shortPath));
  if (fake::Existing(full) == nullptr) return 0;
  const auto it = machine->longNames.find(full);
  const LaunchText answer = it == machine->longNames.end() ? full : it->second;
  if (answer.size() >= size) return static_cast<DWORD>(answer.size() + 1);
  std::copy(answer.begin(), answer.end(), longPath);
  longPath[answer.size()] = 0;
  return static_cast<DWORD>(answer.size());
}

HANDLE WINAPI CreateMutexW(SECURITY_ATTRIBUTES* /*security*/, BOOL /*initialOwner*/, LPCWSTR name) {
  const bool made = machine->mutexes.insert(fake::Text(name)).second;
  machine->lastError = made ? 0 : ERROR_ALREADY_EXISTS;
  return machine->NewHandle();
}

namespace {

HMODULE const kKernel32 = reinterpret_cast<HMODULE>(0x7b800000);
HMODULE const kNtdll = reinterpret_cast<HMODULE>(0x7bc00000);

HANDLE WINAPI FakeCreateToolhelp32Snapshot(DWORD flags, DWORD) {
  ++machine->toolhelpCalls;
  if (machine->snapshotFails || (flags & TH32CS_SNAPPROCESS) == 0) {
    machine->lastError = ERROR_ACCESS_DENIED;
    return INVALID_HANDLE_VALUE;
  }
  std::vector<fake::Process> alive;
  for (const fake::Process& p : machine->processes) {
    if (fake::Alive(p)) alive.push_back(p);
  }
  const HANDLE handle = machine->NewHandle();
  machine->snapshots[handle] = alive;
  return handle;
}

BOOL WalkTo(HANDLE snapshot, PROCESSENTRY32W* entry, bool first) {
  ++machine->toolhelpCalls;
  const auto it = machine->snapshots.find(snapshot);
  if (it == machine->snapshots.end()) {
    machine->lastError = ERROR_INVALID_HANDLE;
    return FALSE;
  }
  if (entry == nullptr || entry->dwSize != sizeof(PROCESSENTRY32W)) {
    machine->lastError = 24;  // ERROR_BAD_LENGTH
    return FALSE;
  }
  std::size_t& cursor = machine->snapshotCursor[snapshot];
  cursor = first ? 0 : cursor + 1;
  if (cursor >= it->second.size()) {
    machine->lastError = ERROR_NO_MORE_FILES;
    return FALSE;
  }
  const fake::Process& p = it->second[cursor];
  ++machine->entriesVisited;
  const DWORD size = entry->dwSize;
  std::memset(entry, 0, sizeof *entry);
  entry->dwSize = size;
  entry->th32ProcessID = p.pid;
  const LaunchText image = p.image.substr(0, MAX_PATH - 1);
  std::copy(image.begin(), image.end(), entry->szExeFile);
  return TRUE;
}

BOOL WINAPI FakeProcess32FirstW(HANDLE snapshot, PROCESSENTRY32W* entry) {
  return WalkTo(snapshot, entry, true);
}

BOOL WINAPI FakeProcess32NextW(HANDLE snapshot, PROCESSENTRY32W* entry) {
  return WalkTo(snapshot, entry, false);
}

BOOL WINAPI FakeSetDefaultDllDirectories(DWORD flags) {
  machine->dllSearchCalls.push_back("SetDefaultDllDirectories " + std::to_string(flags));
  return TRUE;
}

BOOL WINAPI FakeSetDllDirectoryW(LPCWSTR pathName) {
  machine->dllSearchCalls.push_back(
      pathName == nullptr ? "SetDllDirectoryW null"
                          : "SetDllDirectoryW \"" + fake::Narrow(fake::Text(pathName)) + "\"");
  return TRUE;
}

const fake::Process* LiveProcess(DWORD pid) {
  for (const fake::Process& p : machine->processes) {
    if (p.pid == pid && fake::Alive(p)) return &p;
  }
  return nullptr;
}

BOOL WINAPI FakeProcessIdToSessionId(DWORD pid, DWORD* session) {
  ++machine->sessionIdCalls;
  if (pid == machine->ownPid) {
    ++machine->ownSessionIdCalls;
    *session = machine->ownSession;
    return TRUE;
  }
  const fake::Process* process = LiveProcess(pid);
  if (process == nullptr || !process->mayOpen) {
    machine->lastError = process == nullptr ? ERROR_INVALID_PARAMETER : ERROR_ACCESS_DENIED;
    return FALSE;
  }
  *session = process->session;
  return TRUE;
}

// Every live process and the launcher itself, each entry followed by room for its threads, as
// Windows lays them out; a buffer too small gets nothing but the size it needs.
LONG WINAPI FakeNtQuerySystemInformation(ULONG infoClass, void* buffer, ULONG size,
                                         ULONG* returned) {
  ++machine->systemInformationCalls;
  if (machine->beforeSystemInformation) machine->beforeSystemInformation();
  if (infoClass != kSystemProcessInformation) {
    ADD_FAILURE() << "NtQuerySystemInformation of class " << infoClass;
    return static_cast<LONG>(0xC0000003UL);  // STATUS_INVALID_INFO_CLASS
  }
  if (machine->systemInformationStatus != 0) return machine->systemInformationStatus;
  std::vector<std::pair<DWORD, DWORD>> listed{{machine->ownPid, machine->ownSession}};
  for (const fake::Process& p : machine->processes) {
    if (LiveProcess(p.pid) == &p) listed.emplace_back(p.pid, p.session);
  }
  const std::size_t stride = sizeof(SystemProcessEntry) + 2 * 64;  // two threads each
  const auto needed = static_cast<ULONG>(listed.size() * stride);
  if (returned != nullptr) *returned = needed;
  if (size < needed) return kStatusInfoLengthMismatch;
  auto* bytes = static_cast<BYTE*>(buffer);
  for (std::size_t i = 0; i < listed.size(); ++i) {
    SystemProcessEntry entry;
    std::memset(&entry, 0, sizeof entry);
    entry.NextEntryOffset = i + 1 < listed.size() ? static_cast<ULONG>(stride) : 0;
    entry.NumberOfThreads = 2;
    entry.UniqueProcessId = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(listed[i].first));
    entry.SessionId = listed[i].second;
    std::memcpy(bytes + i * stride, &entry, sizeof entry);
  }
  return 0;
}

HMODULE const kShlwapi = reinterpret_cast<HMODULE>(0x7ac00000);

bool SameName(const LaunchText& a, const LaunchText& b) {
  return !fake::NoCaseLess()(a, b) && !fake::NoCaseLess()(b, a);
}

// As Windows answers: ASSOCF_NOTRUNCATE makes a short buffer fail with E_POINTER and the size it
// needs, terminator included; a null buffer gives S_FALSE and that size.
HRESULT WINAPI FakeAssocQueryStringW(DWORD flags, DWORD what, LPCWSTR association, LPCWSTR extra,
                                     LPWSTR out, DWORD* outSize) {
  ++machine->shellQueries;
  if (fake::Text(association) != u"http" || extra != nullptr || (flags & 0x1000) == 0 ||
      (flags & 0x20) == 0 || outSize == nullptr) {
    ADD_FAILURE() << "AssocQueryStringW asked other than for http as a protocol, untruncated";
    return E_INVALIDARG;
  }
  LaunchText text;
  if (what == 20) {
    if (machine->shellProgIdStatus != S_OK) return machine->shellProgIdStatus;
    text = machine->shellProgId;
  } else if (what == 1) {
    if (machine->shellCommand.empty()) return static_cast<HRESULT>(0x80070483UL);  // no association
    text = machine->shellCommand;
  } else {
    ADD_FAILURE() << "AssocQueryStringW of ASSOCSTR " << what;
    return E_INVALIDARG;
  }
  const auto needed = static_cast<DWORD>(text.size() + 1);
  if (out == nullptr) {
    *outSize = needed;
    return S_FALSE;
  }
  if (*outSize < needed) {
    *outSize = needed;
    return E_POINTER;
  }
  std::copy(text.begin(), text.end(), out);
  out[text.size()] = 0;
  *outSize = needed;
  return S_OK;
}

template <typename Fn>
FARPROC AsFarProc(Fn fn) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(fn));
}

}  // namespace

HMODULE WINAPI GetModuleHandleW(LPCWSTR moduleName) {
  ++machine->moduleLookups;
  const LaunchText name = fake::Text(moduleName);
  if (SameName(name, u"ntdll.dll")) return kNtdll;
  if (!SameName(name, u"kernel32.dll") || !machine->kernel32Found) {
    machine->lastError = 126;  // ERROR_MOD_NOT_FOUND
    return nullptr;
  }
  return kKernel32;
}

UINT WINAPI GetSystemDirectoryW(LPWSTR buffer, UINT size) {
  const LaunchText& folder = machine->systemDirectory;
  if (buffer == nullptr || size <= folder.size()) return static_cast<UINT>(folder.size() + 1);
  std::copy(folder.begin(), folder.end(), buffer);
  buffer[folder.size()] = 0;
  return static_cast<UINT>(folder.size());
}

// Only the system folder's shlwapi.dll, by its full path: a load by bare name would search the
// game's folder too.
HMODULE const kPsapi = reinterpret_cast<HMODULE>(0x7ab00000);

// A process's full image path, for a handle with the rights `needed`.
BOOL ImagePathOf(HANDLE process, DWORD needed, LPWSTR buffer, DWORD& size) {
  const auto it = machine->openProcesses.find(process);
  if (it == machine->openProcesses.end() || (it->second.second & needed) != needed) {
    return fake::Fail(ERROR_ACCESS_DENIED);
  }
  const LaunchText path = machine->FindProcess(it->second.first)->path;
  if (path.size() >= size) return fake::Fail(ERROR_INSUFFICIENT_BUFFER);
  std::copy(path.begin(), path.end(), buffer);
  buffer[path.size()] = 0;
  size = static_cast<DWORD>(path.size());
  return TRUE;
}

BOOL WINAPI FakeQueryFullProcessImageNameW(HANDLE process, DWORD /*flags*/, LPWSTR buffer,
                                           DWORD* size) {
  const DWORD limited = PROCESS_QUERY_LIMITED_INFORMATION;
  const auto it = machine->openProcesses.find(process);
  const DWORD full = PROCESS_QUERY_INFORMATION;  // implies the limited right
  const DWORD needed =
      it != machine->openProcesses.end() && (it->second.second & full) ? full : limited;
  return ImagePathOf(process, needed, buffer, *size);
}

DWORD WINAPI FakeGetModuleFileNameExW(HANDLE process, HMODULE /*module*/, LPWSTR buffer,
                                      DWORD size) {
  return ImagePathOf(process, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, buffer, size) ? size : 0;
}

HMODULE WINAPI LoadLibraryW(LPCWSTR fileName) {
  const LaunchText name = fake::Text(fileName);
  if (SameName(name, machine->systemDirectory + u"\\psapi.dll")) {
    ++machine->librariesLoaded;
    return kPsapi;
  }
  if (!SameName(name, machine->systemDirectory + u"\\shlwapi.dll")) {
    ADD_FAILURE() << "LoadLibraryW of " << fake::Narrow(name);
    machine->lastError = 126;  // ERROR_MOD_NOT_FOUND
    return nullptr;
  }
  if (!machine->shlwapiFound) {
    machine->lastError = 126;
    return nullptr;
  }
  ++machine->librariesLoaded;
  return kShlwapi;
}

BOOL WINAPI FreeLibrary(HMODULE module) {
  if ((module != kShlwapi && module != kPsapi) || machine->librariesLoaded == 0) {
    ADD_FAILURE() << "FreeLibrary of a module that was not loaded";
    return FALSE;
  }
  --machine->librariesLoaded;
  return TRUE;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName) {
  const std::string name = procName;
  if (machine->missingExports.count(name) != 0) return nullptr;
  if (module == kShlwapi) {
    if (name == "AssocQueryStringW") return AsFarProc(&FakeAssocQueryStringW);
    ADD_FAILURE() << "GetProcAddress of a shlwapi function the fake does not have: " << name;
    return nullptr;
  }
  if (module == kPsapi) {
    if (name == "GetModuleFileNameExW") return AsFarProc(&FakeGetModuleFileNameExW);
    ADD_FAILURE() << "GetProcAddress of a psapi function the fake does not have: " << name;
    return nullptr;
  }
  if (module == kNtdll) {
    if (name == "NtQuerySystemInformation") return AsFarProc(&FakeNtQuerySystemInformation);
    ADD_FAILURE() << "GetProcAddress of an ntdll function the fake does not have: " << name;
    return nullptr;
  }
  if (module != kKernel32) return nullptr;
  if (name == "ProcessIdToSessionId") return AsFarProc(&FakeProcessIdToSessionId);
  if (name == "CreateToolhelp32Snapshot") return AsFarProc(&FakeCreateToolhelp32Snapshot);
  if (name == "Process32FirstW") return AsFarProc(&FakeProcess32FirstW);
  if (name == "Process32NextW") return AsFarProc(&FakeProcess32NextW);
  if (name == "SetDefaultDllDirectories") return AsFarProc(&FakeSetDefaultDllDirectories);
  if (name == "SetDllDirectoryW") return AsFarProc(&FakeSetDllDirectoryW);
  if (name == "QueryFullProcessImageNameW") return AsFarProc(&FakeQueryFullProcessImageNameW);
  ADD_FAILURE() << "GetProcAddress of a function the fake does not have: " << name;
  return nullptr;
}

HANDLE WINAPI OpenProcess(DWORD access, BOOL /*inherit*/, DWORD processId) {
  fake::Process* process = machine->FindProcess(processId);
  if (process == nullptr || !fake::Alive(*process)) {
    machine->lastError = ERROR_INVALID_PARAMETER;
    return nullptr;
  }
  const DWORD limited = PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE;
  if (!process->mayOpen || (process->elevated && (access & ~limited) != 0)) {
    machine->lastError = ERROR_ACCESS_DENIED;
    return nullptr;
  }
  const HANDLE handle = machine->NewHandle();
  machine->openProcesses[handle] = {processId, access};
  return handle;
}

BOOL WINAPI TerminateProcess(HANDLE process, UINT /*exitCode*/) {
  const auto it = machine->openProcesses.find(process);
  if (it == machine->openProcesses.end() || !(it->second.second & PROCESS_TERMINATE)) {
    return fake::Fail(it == machine->openProcesses.end() ? ERROR_INVALID_HANDLE
                                                         : ERROR_ACCESS_DENIED);
  }
  fake::Process* ended = machine->FindProcess(it->second.first);
  ended->end = std::min(ended->end, machine->now);
  return TRUE;
}

// Waits on the virtual clock: the time moves on to the process's end, or by the time-out.
DWORD WINAPI WaitForSingleObject(HANDLE object, DWORD milliseconds) {
  const auto it = machine->openProcesses.find(object);
  if (it == machine->openProcesses.end() || !(it->second.second & SYNCHRONIZE)) {
    ADD_FAILURE() << "WaitForSingleObject on a handle the fake cannot wait on";
    return 0xFFFFFFFF;  // WAIT_FAILED
  }
  const fake::Time end = machine->FindProcess(it->second.first)->end;
  if (end <= machine->now) return WAIT_OBJECT_0;
  if (milliseconds == INFINITE || end - machine->now <= milliseconds) {
    if (end == fake::kForever) throw fake::Runaway();
    machine->now = end;
    return WAIT_OBJECT_0;
  }
  machine->now += milliseconds;
  return WAIT_TIMEOUT;
}

BOOL WINAPI EnumWindows(WNDENUMPROC callback, LPARAM parameter) {
  std::vector<DWORD> owners;
  for (const fake::Process& process : machine->processes) {
    if (process.window && fake::Alive(process)) owners.push_back(process.pid);
  }
  for (DWORD pid : owners) {
    if (!callback(reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x10000u + pid)), parameter)) break;
  }
  return TRUE;
}

DWORD WINAPI GetWindowThreadProcessId(HWND window, LPDWORD processId) {
  const auto pid = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(window) - 0x10000u);
  if (processId != nullptr) *processId = pid;
  return pid + 1;  // its thread
}

BOOL WINAPI IsWindowVisible(HWND /*window*/) {
  return TRUE;
}

BOOL WINAPI PostMessageW(HWND window, UINT message, WPARAM /*wParam*/, LPARAM /*lParam*/) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  machine->postedToWindows.emplace_back(pid, message);
  fake::Process* process = machine->FindProcess(pid);
  if (process != nullptr && message == WM_CLOSE && process->closesAfter != fake::kForever) {
    process->end = std::min(process->end, machine->now + process->closesAfter);
  }
  return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE object) {
  if (object == nullptr) {
    ++machine->nullHandleCloses;
    machine->lastError = ERROR_INVALID_HANDLE;
    return FALSE;
  }
  if (machine->snapshots.erase(object) == 1) {
    machine->snapshotCursor.erase(object);
    return TRUE;
  }
  if (machine->processHandles.erase(object) == 1) return TRUE;
  if (machine->openFiles.erase(object) == 1) return TRUE;
  if (machine->openProcesses.erase(object) == 1) return TRUE;
  machine->lastError = ERROR_INVALID_HANDLE;
  return FALSE;
}

DWORD WINAPI GetCurrentProcessId() {
  return machine->ownPid;
}

DWORD WINAPI GetTickCount() {
  return static_cast<DWORD>(machine->now);
}

void WINAPI Sleep(DWORD milliseconds) {
  machine->sleeps.push_back(milliseconds);
  machine->now += milliseconds;
  if (machine->now > machine->runawayLimit) {
    ADD_FAILURE() << "virtual time ran past " << machine->runawayLimit
                  << " ms: a wait that never ends";
    throw fake::Runaway{};
  }
}

void WINAPI ExitProcess(UINT exitCode) {
  throw fake::ProcessExit{exitCode};
}

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) {
  if (flags != GMEM_MOVEABLE) ADD_FAILURE() << "GlobalAlloc with flags " << flags;
  const HGLOBAL memory = machine->NewHandle();
  machine->globals[memory] = std::vector<BYTE>(bytes);
  return memory;
}

namespace {

// The clipboard's own memory, as GetClipboardData hands it out; null for any other handle.
std::vector<BYTE>* ClipboardMemory(HGLOBAL memory) {
  const auto held = machine->clipboardHandles.find(memory);
  if (held == machine->clipboardHandles.end()) return nullptr;
  return &machine->clipboard.at(held->second);
}

}  // namespace

LPVOID WINAPI GlobalLock(HGLOBAL memory) {
  if (std::vector<BYTE>* held = ClipboardMemory(memory)) return held->data();
  const auto it = machine->globals.find(memory);
  if (it == machine->globals.end()) return nullptr;
  ++machine->globalLocks[memory];
  return it->second.data();
}

BOOL WINAPI GlobalUnlock(HGLOBAL memory) {
  int& locks = machine->globalLocks[memory];
  if (locks > 0) --locks;
  return locks > 0;
}

SIZE_T WINAPI GlobalSize(HGLOBAL memory) {
  if (const std::vector<BYTE>* held = ClipboardMemory(memory)) return held->size();
  const auto it = machine->globals.find(memory);
  return it == machine->globals.end() ? 0 : it->second.size();
}

HGLOBAL WINAPI GlobalFree(HGLOBAL memory) {
  if (ClipboardMemory(memory) != nullptr) ADD_FAILURE() << "freed the clipboard's own memory";
  if (machine->globals.erase(memory) == 0) return memory;
  machine->globalLocks.erase(memory);
  return nullptr;
}

// ---- shell32 ----

HINSTANCE WINAPI ShellExecuteW(HWND hwnd, LPCWSTR operation, LPCWSTR file, LPCWSTR parameters,
                               LPCWSTR directory, INT showCmd) {
  machine->shellCalls.push_back(fake::ShellCall{
      "ShellExecuteW", machine->now, hwnd, operation == nullptr, parameters == nullptr,
      directory == nullptr, fake::Text(operation), fake::Text(file), fake::Text(parameters),
      fake::Text(directory), showCmd, 0, 0, machine->currentDirectory});
  return reinterpret_cast<HINSTANCE>(42);
}

BOOL WINAPI ShellExecuteExW(SHELLEXECUTEINFOW* info) {
  machine->shellCalls.push_back(fake::ShellCall{
      "ShellExecuteExW", machine->now, info->hwnd, info->lpVerb == nullptr,
      info->lpParameters == nullptr, info->lpDirectory == nullptr, fake::Text(info->lpVerb),
      fake::Text(info->lpFile), fake::Text(info->lpParameters), fake::Text(info->lpDirectory),
      info->nShow, static_cast<DWORD>(info->fMask), info->cbSize, machine->currentDirectory});
  if (info->cbSize != sizeof(SHELLEXECUTEINFOW)) {
    machine->lastError = 87;
    return FALSE;
  }
  const auto it = machine->onStart.find(fake::Text(info->lpFile));
  if (it == machine->onStart.end()) {
    ADD_FAILURE() << "ShellExecuteExW of a file the test did not script: "
                  << fake::Narrow(fake::Text(info->lpFile));
    machine->lastError = ERROR_FILE_NOT_FOUND;
    return FALSE;
  }
  const fake::StartBehaviour& start = it->second;
  if (start.kind == fake::StartBehaviour::kFail) {
    machine->lastError = ERROR_FILE_NOT_FOUND;
    info->hInstApp = reinterpret_cast<HINSTANCE>(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  machine->AddProcess(start.image, start.lifetime);
  if (!start.childImage.empty()) machine->AddProcess(start.childImage, start.childLifetime);
  info->hInstApp = reinterpret_cast<HINSTANCE>(42);
  if ((info->fMask & SEE_MASK_NOCLOSEPROCESS) != 0) {
    info->hProcess = machine->NewHandle();
    machine->processHandles.insert(info->hProcess);
  }
  return TRUE;
}

// ---- user32 ----

namespace {

BOOL Peek(const char* api, MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg) {
  if (hwnd != nullptr) ADD_FAILURE() << "the launcher only peeks at its thread's whole queue";
  auto& queue = machine->queue;
  for (auto it = queue.begin(); it != queue.end(); ++it) {
    if (it->arrival > machine->now) break;
    const bool inRange = (filterMin == 0 && filterMax == 0) ||
                         (it->message >= filterMin && it->message <= filterMax);
    if (!inRange) continue;
    std::memset(msg, 0, sizeof *msg);
    msg->hwnd = it->hwnd;
    msg->message = it->message;
    if ((removeMsg & PM_REMOVE) != 0) {
      machine->removals.push_back(std::string(api) + " " + std::to_string(it->message));
      queue.erase(it);
    }
    return TRUE;
  }
  return FALSE;
}

}  // namespace

BOOL WINAPI PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg) {
  return Peek("W", msg, hwnd, filterMin, filterMax, removeMsg);
}

BOOL WINAPI PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg) {
  return Peek("A", msg, hwnd, filterMin, filterMax, removeMsg);
}

BOOL WINAPI IsWindowUnicode(HWND hwnd) {
  return hwnd != nullptr && machine->ansiWindows.count(hwnd) == 0;
}

HWND WINAPI CreateWindowExW(DWORD, LPCWSTR className, LPCWSTR, DWORD, int, int, int, int, HWND,
                            HMENU, HINSTANCE, LPVOID) {
  if (fake::Text(className) != u"STATIC") ADD_FAILURE() << "a window of a class of its own";
  const HWND window = static_cast<HWND>(machine->NewHandle());
  machine->windows.insert(window);
  return window;
}

BOOL WINAPI DestroyWindow(HWND window) {
  return machine->windows.erase(window) == 1;
}

BOOL WINAPI OpenClipboard(HWND owner) {
  if (machine->now < machine->clipboardBusyUntil || machine->clipboardOpen) return FALSE;
  machine->clipboardOpen = true;
  machine->clipboardOwner = owner;
  return TRUE;
}

BOOL WINAPI EmptyClipboard() {
  if (!machine->clipboardOpen) return FALSE;
  machine->clipboard.clear();
  machine->clipboardHandles.clear();
  return TRUE;
}

HANDLE WINAPI SetClipboardData(UINT format, HANDLE memory) {
  const auto it = machine->globals.find(memory);
  if (!machine->clipboardOpen || machine->clipboardOwner == nullptr ||
      it == machine->globals.end() || machine->globalLocks[memory] > 0 ||
      machine->clipboardRefuses.count(format) != 0) {
    return nullptr;
  }
  machine->clipboard[format] = std::move(it->second);  // the system owns it now
  machine->globals.erase(it);
  return memory;
}

HANDLE WINAPI GetClipboardData(UINT format) {
  if (!machine->clipboardOpen || machine->clipboard.count(format) == 0) return nullptr;
  for (const auto& held : machine->clipboardHandles) {
    if (held.second == format) return held.first;
  }
  const HGLOBAL memory = machine->NewHandle();
  machine->clipboardHandles[memory] = format;
  return memory;
}

UINT WINAPI EnumClipboardFormats(UINT format) {
  if (!machine->clipboardOpen) return 0;
  const auto next = machine->clipboard.upper_bound(format);
  return next == machine->clipboard.end() ? 0 : next->first;
}

BOOL WINAPI CloseClipboard() {
  const bool wasOpen = machine->clipboardOpen;
  machine->clipboardOpen = false;
  return wasOpen;
}

DWORD WINAPI CharLowerBuffW(LPWSTR text, DWORD length) {
  return fake::CaseMapBuffer(text, length, false);
}

DWORD WINAPI CharUpperBuffW(LPWSTR text, DWORD length) {
  return fake::CaseMapBuffer(text, length, true);
}
