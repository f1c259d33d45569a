// The Windows services the launch and watch logic uses besides the registry, each with exactly the
// behaviour the logic relies on.
#pragma once

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

// The toolhelp process snapshot, bound by name in kernel32 at first use (the launcher must start on
// systems without it). While unbound: a null handle, and enumeration that answers false.
HANDLE ToolhelpCreateSnapshot(DWORD flags, DWORD processId);
BOOL ToolhelpProcessFirst(HANDLE snapshot, PROCESSENTRY32W* entry);
BOOL ToolhelpProcessNext(HANDLE snapshot, PROCESSENTRY32W* entry);

// Forgets the binding, so that the next use looks the functions up again. For tests.
void ForgetToolhelpBinding();
