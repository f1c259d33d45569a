#include "platform/services.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/system_process_information.h"

namespace {

const char16_t kKernel32[] = u"kernel32.dll";
const char16_t kNtdll[] = u"ntdll.dll";

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

using AssocQueryStringFn = HRESULT(WINAPI*)(DWORD flags, DWORD what, LPCWSTR association,
                                            LPCWSTR extra, LPWSTR out, DWORD* outSize);

const DWORD kAssocIsProtocol = 0x1000;
const DWORD kAssocNoTruncate = 0x20;
// The longest text a registry value of this kind holds in practice.
const DWORD kAnswerSizeLimit = 32768;

// A DLL of the system folder, by its full path: never one that lies in the game's folder.
HMODULE LoadSystemLibrary(const char16_t* name) {
  WCHAR folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const LaunchText path = TextUpToZero(folder, length) + u"\\" + name;
  return LoadLibraryW(Wide(path));
}

// One call into a buffer of `size` units; S_OK leaves the text, cut at its first zero unit and
// never read past the buffer.
HRESULT AskInto(AssocQueryStringFn ask, DWORD what, DWORD& size, LaunchText& text) {
  std::vector<WCHAR> buffer(size, 0);
  const HRESULT code =
      ask(kAssocIsProtocol | kAssocNoTruncate, what, Wide(u"http"), nullptr, buffer.data(), &size);
  if (code == S_OK) text = TextUpToZero(buffer.data(), buffer.size());
  return code;
}

}  // namespace

ShellAnswer AskShellAboutHttp(DWORD what, DWORD firstUnits) {
  ShellAnswer answer;
  const HMODULE shlwapi = LoadSystemLibrary(u"shlwapi.dll");
  if (shlwapi == nullptr) return answer;
  const auto ask = BindByName<AssocQueryStringFn>(shlwapi, "AssocQueryStringW");
  if (ask == nullptr) {
    answer.code = kNoShellFunction;
  } else {
    try {
      DWORD size = firstUnits;
      answer.code = AskInto(ask, what, size, answer.text);
      // ASSOCF_NOTRUNCATE: a short buffer fails with E_POINTER and the size it needs.
      if (answer.code == E_POINTER && size > firstUnits && size <= kAnswerSizeLimit) {
        answer.code = AskInto(ask, what, size, answer.text);
      }
    } catch (const std::bad_alloc&) {
      answer.code = E_OUTOFMEMORY;
    }
  }
  FreeLibrary(shlwapi);
  return answer;
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

namespace {

using ProcessIdToSessionIdFn = BOOL(WINAPI*)(DWORD, DWORD*);

struct SessionBinding {
  bool looked = false;
  ProcessIdToSessionIdFn processIdToSessionId = nullptr;
  NtQuerySystemInformationFn querySystemInformation = nullptr;
};

SessionBinding sessionBinding;

// The size of the buffer that last held the system's process information, so that a poll rarely
// asks twice. It grows with the number of processes and threads, up to a bound.
const ULONG kFirstSessionListSize = 64 * 1024;
ULONG sessionListSize = kFirstSessionListSize;
const ULONG kSessionListLimit = 64 * 1024 * 1024;

// kernel32 and ntdll are in every process: nothing is loaded.
const SessionBinding& BoundSessionFunctions() {
  if (!sessionBinding.looked) {
    sessionBinding.looked = true;
    if (const HMODULE kernel32 = GetModuleHandleW(Wide(kKernel32))) {
      sessionBinding.processIdToSessionId =
          BindByName<ProcessIdToSessionIdFn>(kernel32, "ProcessIdToSessionId");
    }
    if (const HMODULE ntdll = GetModuleHandleW(Wide(kNtdll))) {
      sessionBinding.querySystemInformation =
          BindByName<NtQuerySystemInformationFn>(ntdll, "NtQuerySystemInformation");
    }
  }
  return sessionBinding;
}

// The entries of `buffer`, whose first `length` bytes Windows filled. Each entry is read whole or
// not at all, and a next-entry offset that leads past the end ends the walk.
void ParseSessionList(const std::vector<BYTE>& buffer, std::size_t length,
                      std::vector<std::pair<DWORD, DWORD>>& sessions) {
  std::size_t offset = 0;
  while (length - offset >= sizeof(SystemProcessEntry)) {
    SystemProcessEntry entry;
    std::memcpy(&entry, buffer.data() + offset, sizeof entry);
    sessions.emplace_back(static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(entry.UniqueProcessId)),
                          entry.SessionId);
    if (entry.NextEntryOffset == 0 || entry.NextEntryOffset > length - offset) break;
    offset += entry.NextEntryOffset;
  }
}

}  // namespace

bool ReadSystemSessionList(std::vector<std::pair<DWORD, DWORD>>& sessions) {
  const NtQuerySystemInformationFn query = BoundSessionFunctions().querySystemInformation;
  if (query == nullptr) return false;
  try {
    for (ULONG size = sessionListSize; size <= kSessionListLimit;) {
      std::vector<BYTE> buffer(size);
      ULONG returned = 0;
      const LONG status = query(kSystemProcessInformation, buffer.data(), size, &returned);
      if (status == kStatusInfoLengthMismatch || status == kStatusBufferTooSmall) {
        // Older systems leave `returned` at 0; newer ones say what was needed at that moment, and
        // more processes may start before the next try.
        size = std::max(size * 2, returned + returned / 4);
        continue;
      }
      if (status != 0) return false;
      sessionListSize = size;
      sessions.clear();
      ParseSessionList(buffer, returned != 0 && returned <= size ? returned : size, sessions);
      return true;
    }
  } catch (const std::bad_alloc&) {
    return false;  // no room for the list: this look learns no sessions from it
  }
  return false;  // larger than any list of processes could be
}

SessionAnswer ProcessSessions::SessionOf(DWORD processId, DWORD& session) {
  const ProcessIdToSessionIdFn idToSession = BoundSessionFunctions().processIdToSessionId;
  DWORD answer = 0;
  if (list_ != List::kRead && idToSession != nullptr && idToSession(processId, &answer)) {
    session = answer;
    return SessionAnswer::kKnown;
  }
  if (list_ == List::kNotRead) {
    list_ = ReadSystemSessionList(sessions_) ? List::kRead : List::kUnreadable;
  }
  if (list_ == List::kUnreadable) return SessionAnswer::kUnknown;
  for (const std::pair<DWORD, DWORD>& entry : sessions_) {
    if (entry.first == processId) {
      session = entry.second;
      return SessionAnswer::kKnown;
    }
  }
  return SessionAnswer::kEnded;
}

namespace {

struct OwnSessionAnswer {
  bool looked = false;
  bool known = false;
  DWORD session = 0;
};

OwnSessionAnswer ownSession;

}  // namespace

bool OwnSession(DWORD& session) {
  if (!ownSession.looked) {
    ownSession.looked = true;
    ProcessSessions sessions;
    ownSession.known =
        sessions.SessionOf(GetCurrentProcessId(), ownSession.session) == SessionAnswer::kKnown;
  }
  session = ownSession.session;
  return ownSession.known;
}

void ForgetProcessBindings() {
  binding = ToolhelpBinding{};
  sessionBinding = SessionBinding{};
  sessionListSize = kFirstSessionListSize;
  ownSession = OwnSessionAnswer{};
}
