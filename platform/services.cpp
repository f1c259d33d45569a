#include "platform/services.h"

#include <cstring>

namespace {

const char16_t kKernel32[] = u"kernel32.dll";

}  // namespace

bool QueryOsMajorVersion(DWORD& major) {
  OSVERSIONINFOW info;
  std::memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExW(&info)) return false;
  major = info.dwMajorVersion;
  return true;
}

bool IsExistingFile(const LaunchText& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path));
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
      error == ERROR_INVALID_NAME) {
    return false;
  }
  // Attributes can be unreadable for an entry that exists (a file in use by the system, a folder
  // we may not list); a directory search still sees it.
  WIN32_FIND_DATAW found;
  std::memset(&found, 0, sizeof found);
  const HANDLE search = FindFirstFileW(Wide(path), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void RestrictDllSearchToSystem() {
  const HMODULE kernel32 = GetModuleHandleW(Wide(kKernel32));
  if (kernel32 == nullptr) return;
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  using SetDllDirectoryFn = BOOL(WINAPI*)(LPCWSTR);
  const auto setDefault =
      BindByName<SetDefaultDllDirectoriesFn>(kernel32, "SetDefaultDllDirectories");
  if (setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  const auto setDirectory = BindByName<SetDllDirectoryFn>(kernel32, "SetDllDirectoryW");
  if (setDirectory != nullptr) setDirectory(Wide(u""));
}

void ShellOpen(const LaunchText& file) {
  ShellExecuteW(nullptr, Wide(u"open"), Wide(file), Wide(u""), Wide(u""), SW_SHOWNORMAL);
}

namespace {

using CreateSnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
using ProcessWalkFn = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32W*);

struct ToolhelpBinding {
  HMODULE kernel32 = nullptr;
  CreateSnapshotFn createSnapshot = nullptr;
  ProcessWalkFn processFirst = nullptr;
  ProcessWalkFn processNext = nullptr;
};

ToolhelpBinding binding;

// Looks the functions up while kernel32's handle has not been obtained; once it has, the result
// stands for the rest of the run.
bool ToolhelpAvailable() {
  if (binding.kernel32 == nullptr) {
    binding.kernel32 = GetModuleHandleW(Wide(kKernel32));
    if (binding.kernel32 != nullptr) {
      binding.createSnapshot =
          BindByName<CreateSnapshotFn>(binding.kernel32, "CreateToolhelp32Snapshot");
      binding.processFirst = BindByName<ProcessWalkFn>(binding.kernel32, "Process32FirstW");
      binding.processNext = BindByName<ProcessWalkFn>(binding.kernel32, "Process32NextW");
    }
  }
  return binding.kernel32 != nullptr && binding.createSnapshot != nullptr;
}

}  // namespace

HANDLE ToolhelpCreateSnapshot(DWORD flags, DWORD processId) {
  if (!ToolhelpAvailable()) return nullptr;
  return binding.createSnapshot(flags, processId);
}

BOOL ToolhelpProcessFirst(HANDLE snapshot, PROCESSENTRY32W* entry) {
  if (!ToolhelpAvailable() || binding.processFirst == nullptr) return FALSE;
  return binding.processFirst(snapshot, entry);
}

BOOL ToolhelpProcessNext(HANDLE snapshot, PROCESSENTRY32W* entry) {
  if (!ToolhelpAvailable() || binding.processNext == nullptr) return FALSE;
  return binding.processNext(snapshot, entry);
}

void ForgetToolhelpBinding() {
  binding = ToolhelpBinding{};
}
