// The Windows services the launch and watch logic uses besides the registry, each with exactly the
// behaviour the logic relies on.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "platform/launch_text.h"

// The function `name` of `module` as a function of type Fn, looked up at run time: what the
// oldest systems lack is bound by name, never imported. Null when `module` lacks it; `module`
// itself must not be null (that would look in the program's own file).
template <typename Fn>
Fn BindByName(HMODULE module, const char* name) {
  // Through the generic function pointer type, which every compiler lets us convert from.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The Windows major version from GetVersionExW; false when the query fails.
bool QueryOsMajorVersion(DWORD& major);

// True only for an existing entry that is not a directory. Relative paths are resolved by Windows
// against the current directory.
bool IsExistingFile(const LaunchText& path);

// Keeps Windows from loading DLLs out of the launcher's or the game's folder, for the launcher and
// for everything the shell loads into it: SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)
// where the system has it, else SetDllDirectoryW("") to drop the current directory. Both are bound
// by name, as the oldest systems the launcher runs on have neither.
void RestrictDllSearchToSystem();

// ShellExecuteW(no owner, "open", file, "", "", SW_SHOWNORMAL); the result is of no interest.
void ShellOpen(const LaunchText& file);

// What the shell answers for http links: AssocQueryStringW of shlwapi.dll, with ASSOCF_IS_PROTOCOL
// and ASSOCF_NOTRUNCATE. Windows 10 and later know kAssocProgId, the ProgId that links really open
// with, whichever choice key Windows honoured; older Windows fail that question, and Wine answers
// E_NOTIMPL. Windows 2000's shlwapi.dll has the function; it is loaded from the system folder by
// its full path and bound by name all the same, so that only the new-systems route loads shlwapi
// and the import table keeps to the system DLLs every start needs.
const DWORD kAssocCommand = 1;  // ASSOCSTR_COMMAND: the open command
const DWORD kAssocProgId = 20;  // ASSOCSTR_PROGID
const HRESULT kNoShellLibrary = static_cast<HRESULT>(0x8007007EUL);   // no shlwapi.dll
const HRESULT kNoShellFunction = static_cast<HRESULT>(0x8007007FUL);  // no AssocQueryStringW

struct ShellAnswer {
  HRESULT code = kNoShellLibrary;  // what the call returned, or why it was not made
  LaunchText text;                 // the answer; "" unless code is S_OK

  // An answer the launcher can take: S_OK with a text.
  bool Answered() const { return code == S_OK && !text.empty(); }
};

// The first call's buffer holds room for any ProgId; a longer answer (a command may be one) is
// asked again, once, into the size Windows names. Tests start smaller to see that second call.
const DWORD kFirstShellAnswerUnits = 128;
ShellAnswer AskShellAboutHttp(DWORD what, DWORD firstUnits = kFirstShellAnswerUnits);

// The toolhelp process snapshot, bound by name in kernel32 at first use (the launcher must start on
// systems without it). While unbound: a null handle, and enumeration that answers false.
HANDLE ToolhelpCreateSnapshot(DWORD flags, DWORD processId);
BOOL ToolhelpProcessFirst(HANDLE snapshot, PROCESSENTRY32W* entry);
BOOL ToolhelpProcessNext(HANDLE snapshot, PROCESSENTRY32W* entry);

// What Windows tells of the session a process runs in.
enum class SessionAnswer : std::uint8_t {
  kKnown,    // the session is known
  kEnded,    // the system's process information, read after the caller's look, no longer holds the
             // process: it has ended
  kUnknown,  // this Windows tells nothing (no session functions, or the information unreadable)
};

// The sessions of processes, asked during one look at the process list (an object per look).
// Another user signed in on the same PC (fast user switching) or over Remote Desktop runs in
// another session, and their processes are in the same process list. ProcessIdToSessionId answers
// cheaply but opens the process, which another user's process does not allow; for those the
// system's process information (ntdll's NtQuerySystemInformation), read at most once per object,
// gives every process's session without opening any; once read, it answers the rest of the look
// (on a Remote Desktop host most matches are other users'). Both are bound by name.
class ProcessSessions {
 public:
  // The session of `processId`; `session` is set only for kKnown.
  SessionAnswer SessionOf(DWORD processId, DWORD& session);

 private:
  enum class List : std::uint8_t { kNotRead, kRead, kUnreadable } list_ = List::kNotRead;
  std::vector<std::pair<DWORD, DWORD>> sessions_;  // process id, session
};

// The launcher's own session, learned at its first use and kept for the run: a process never
// changes session. False where this Windows does not tell it.
bool OwnSession(DWORD& session);

// Every process's id and session from the system's process information; false when this Windows
// does not give it. The answer ProcessSessions falls back on, apart, for tests.
bool ReadSystemSessionList(std::vector<std::pair<DWORD, DWORD>>& sessions);

// Forgets the bindings of the process functions (toolhelp, sessions), so that the next use looks
// them up again. For tests.
void ForgetProcessBindings();
