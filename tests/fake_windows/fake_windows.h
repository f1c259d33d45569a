// An in-memory model of one Windows machine, behind the Win32 names that platform/win32_api.h
// declares for host builds. Tests script it (registry, files, processes, the message queue, the
// version, the clock) and read back what the launcher did with it. It follows real Windows as far
// as the launcher can tell, and a call it was not set up for fails the test instead of guessing.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/launch_text.h"

namespace fake {

// Thrown by ExitProcess: the scenario ends here with this code.
struct ProcessExit {
  unsigned code;
};

// Thrown by Sleep when virtual time passes the limit: a wait that would never end.
struct Runaway {};

using Time = std::uint64_t;  // virtual milliseconds since the scenario started
constexpr Time kForever = UINT64_MAX;

// Case-insensitive order for registry and file names (ASCII folding is enough for tests).
struct NoCaseLess {
  bool operator()(const LaunchText& a, const LaunchText& b) const;
};

struct RegValue {
  DWORD type = REG_SZ;
  std::vector<BYTE> bytes;
};

struct RegKey {
  DWORD granted = KEY_ALL_ACCESS;  // the rights this user is granted on the key
  std::map<LaunchText, std::unique_ptr<RegKey>, NoCaseLess> subkeys;
  std::map<LaunchText, RegValue, NoCaseLess> values;
};

struct RegOpenCall {
  LaunchText subKey;
  REGSAM desired;
  LSTATUS result;
};

struct FileEntry {
  bool directory = false;
  DWORD attributesError = 0;     // non-zero: GetFileAttributesW fails with this error
  bool invisibleToFind = false;  // FindFirstFileW does not find it either
  std::vector<BYTE> content;
  bool running = false;       // a running program's image: renamed, never deleted or written
  bool heldOpen = false;      // open elsewhere without sharing: not deleted, renamed or opened
  bool reparsePoint = false;  // a junction or link: what is behind it lies elsewhere
  bool writeFails = false;    // a write to it fails (a full disk)
  bool readOnly = false;      // not deleted until the attribute is taken off
};

// A folder's listing (FindFirstFileW of "folder\\*"), names taken when it began.
struct Listing {
  LaunchText folder;
  std::vector<LaunchText> names;
  std::size_t next = 0;
};

// A file opened with CreateFileW.
struct OpenFile {
  LaunchText path;  // full
  std::size_t position = 0;
};

struct Process {
  DWORD pid;
  LaunchText image;
  Time start;
  Time end;  // exclusive; kForever for a process that outlives the scenario
  DWORD session = 1;
  bool mayOpen = true;          // false: another user's, which ProcessIdToSessionId may not open
  LaunchText path;              // the full image path, as the system gives it
  bool elevated = false;        // opened only for PROCESS_QUERY_LIMITED_INFORMATION and SYNCHRONIZE
  bool window = false;          // has a visible top-level window
  Time closesAfter = kForever;  // ends this long after WM_CLOSE reaches its window
};

// What ShellExecuteExW does when asked to start a given file.
struct StartBehaviour {
  enum Kind { kSpawn, kFail } kind = kSpawn;
  LaunchText image;          // kSpawn: the image name of the new process
  Time lifetime = kForever;  // kSpawn: how long it lives
  LaunchText childImage;     // kSpawn: optionally a process it starts before it ends
  Time childLifetime = kForever;

  // A start that creates one process of `image`, living `lifetime`.
  static StartBehaviour Spawn(const LaunchText& image, Time lifetime) {
    StartBehaviour start;
    start.image = image;
    start.lifetime = lifetime;
    return start;
  }
};

struct ShellCall {
  std::string api;  // "ShellExecuteW" or "ShellExecuteExW"
  Time time;
  HWND owner;
  bool verbNull, paramsNull, dirNull;
  LaunchText verb, file, params, dir;
  int show;
  DWORD mask;
  DWORD cbSize;
  LaunchText currentDirectory;
};

struct QueuedMessage {
  Time arrival;
  HWND hwnd;
  UINT message;
};

struct Machine {
  // Clock.
  Time now = 0;
  Time runawayLimit = 24ull * 3600 * 1000;
  std::vector<DWORD> sleeps;

  // Version.
  bool versionFails = false;
  DWORD majorVersion = 6;
  DWORD minorVersion = 2;

  // Registry. Predefined roots: HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE.
  RegKey classesRoot, currentUser, localMachine;
  std::vector<RegOpenCall> regOpens;
  int regFlushes = 0;
  // Runs after every value query made without a buffer (the size query), before the next call.
  std::function<void()> afterValueSizeQuery;

  RegKey& Key(HKEY root, const LaunchText& path);  // creates the path as needed
  void SetValue(HKEY root, const LaunchText& path, const LaunchText& name, DWORD type,
                std::vector<BYTE> bytes);
  // A text value as Windows stores it: the units and, unless told otherwise, a terminating zero.
  void SetText(HKEY root, const LaunchText& path, const LaunchText& name, const LaunchText& text,
               DWORD type = REG_SZ, bool terminated = true);
  std::size_t OpenRegistryHandles() const { return openKeys.size(); }

  // Files, by path relative to the current directory or absolute ("C:\...").
  LaunchText currentDirectory = u"C:\\games\\wgame";
  std::map<LaunchText, FileEntry, NoCaseLess> files;  // keyed by full path
  int findFirstCalls = 0;
  void AddFile(const LaunchText& path, FileEntry entry = {});
  void AddDirectory(const LaunchText& path);
  LaunchText FullPath(const LaunchText& path) const;
  // The entries below a folder, relative to it, sorted (folders without a trailing backslash).
  std::vector<LaunchText> Below(const LaunchText& folder) const;
  std::map<HANDLE, OpenFile> openFiles;
  std::map<HANDLE, Listing> listings;  // FindFirstFileW of "folder\\*"
  // GetLongPathNameW: a short (8.3) full path and the long one it stands for.
  std::map<LaunchText, LaunchText, NoCaseLess> longNames;
  std::set<LaunchText> mutexes;  // named mutexes created

  // Processes.
  DWORD ownPid = 4000;
  DWORD nextPid = 5000;
  std::vector<Process> processes;
  bool snapshotFails = false;
  bool kernel32Found = true;
  std::set<std::string> missingExports;
  int moduleLookups = 0;
  int toolhelpCalls = 0;   // calls that reached the toolhelp functions themselves
  int entriesVisited = 0;  // process entries handed out by the enumeration
  int nullHandleCloses = 0;
  DWORD AddProcess(const LaunchText& image, Time lifetime = kForever);
  // A process of the program at the full path `path` (its image name the last part).
  DWORD AddProgram(const LaunchText& path, Time lifetime = kForever);
  Process* FindProcess(DWORD pid);
  std::map<HANDLE, std::pair<DWORD, DWORD>> openProcesses;  // OpenProcess: process id, rights
  std::vector<std::pair<DWORD, UINT>> postedToWindows;      // PostMessageW: process id, message
  // Another user's process: in `session`, and not to be opened by the launcher.
  DWORD AddOtherUsersProcess(const LaunchText& image, DWORD session);

  // Sessions. The launcher runs in ownSession. Functions this Windows lacks go in missingExports
  // ("ProcessIdToSessionId", "NtQuerySystemInformation").
  DWORD ownSession = 1;
  LONG systemInformationStatus = 0;  // non-zero: NtQuerySystemInformation fails with it
  int sessionIdCalls = 0;            // ProcessIdToSessionId
  int ownSessionIdCalls = 0;         // ProcessIdToSessionId of the launcher's own id
  int systemInformationCalls = 0;    // NtQuerySystemInformation, each size included
  // Runs at the start of every NtQuerySystemInformation call: processes may end in between.
  std::function<void()> beforeSystemInformation;
  std::size_t OpenSnapshots() const { return snapshots.size(); }

  // The shell's association query (AssocQueryStringW in the system folder's shlwapi.dll) for
  // http links. By default as Windows before 10: no ProgId answer (E_INVALIDARG). Windows 10 and
  // later answer S_OK with shellProgId; Wine answers E_NOTIMPL. The command question answers
  // shellCommand, or "no association" while it is "".
  HRESULT shellProgIdStatus = E_INVALIDARG;
  LaunchText shellProgId;
  LaunchText shellCommand;
  bool shlwapiFound = true;
  LaunchText systemDirectory = u"C:\\windows\\system32";
  int shellQueries = 0;     // calls of AssocQueryStringW, each size included
  int librariesLoaded = 0;  // LoadLibraryW that succeeded, less FreeLibrary

  // Shell.
  std::vector<ShellCall> shellCalls;
  std::map<LaunchText, StartBehaviour> onStart;  // keyed by lpFile as given

  // Messages of the launcher's thread.
  std::vector<QueuedMessage> queue;
  std::set<HWND> ansiWindows;  // windows for which IsWindowUnicode is FALSE (and always for none)
  std::vector<std::string> removals;  // "W <msg>" or "A <msg>" for each message removed
  void PostAt(Time arrival, UINT message, HWND hwnd = nullptr);

  // Global memory, and the clipboard that takes it over. SetClipboardData fails, as Windows
  // documents, after EmptyClipboard on a clipboard opened with no owner window.
  std::map<HGLOBAL, std::vector<BYTE>> globals;  // allocated, not yet freed nor handed over
  std::map<HGLOBAL, int> globalLocks;
  std::set<HWND> windows;           // windows created and not yet destroyed
  Time clipboardBusyUntil = 0;      // another program holds it open till then: OpenClipboard fails
  std::set<UINT> clipboardRefuses;  // formats SetClipboardData fails for (no memory, say)
  bool clipboardOpen = false;
  HWND clipboardOwner = nullptr;
  std::map<UINT, std::vector<BYTE>> clipboard;  // each format's bytes, as handed over
  std::map<HGLOBAL, UINT> clipboardHandles;     // GetClipboardData's answers, till it is emptied

  // DLL search order.
  std::vector<std::string> dllSearchCalls;

  DWORD lastError = 0;

  // Handles the fake gave out and that are still open.
  std::map<HKEY, RegKey*> openKeys;
  std::map<HANDLE, std::vector<Process>> snapshots;
  std::map<HANDLE, std::size_t> snapshotCursor;
  std::set<HANDLE> findHandles;
  std::set<HANDLE> processHandles;
  std::uintptr_t nextHandle = 0x1000;
  HANDLE NewHandle();
};

// The machine the fake Win32 functions act on; one for the whole test program.
Machine& M();
// Makes it a fresh machine for the next scenario, in place: references to it stay valid.
void Reset();

// The image names alive at the current virtual time.
std::vector<LaunchText> Running();

std::string Narrow(const LaunchText& text);

// The bytes a text value holds in the registry: UTF-16LE units and, when asked, a zero unit.
std::vector<BYTE> Utf16Bytes(const LaunchText& text, bool terminated);

}  // namespace fake
