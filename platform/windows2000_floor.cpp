// Keeps the programs that ship loadable on Windows 2000 whichever MinGW-w64 builds them.
//
// GCC 14's libgcc (Debian 13) implements the win32 thread model with kernel32's GetThreadId, which
// Windows 2000 and XP lack (it came with Server 2003 and Vista). The exception runtime pulls that
// code in for its mutexes, and with it an import of GetThreadId: the loader of the oldest systems
// would then refuse to start the program before any of its code runs. Only the runtime's
// thread-identity helpers call it, and a program of one thread never reaches them.
//
// So the import's slot is defined here. Code compiled against kernel32's declaration calls through
// a pointer named __imp__GetThreadId@4; when an object of the program already defines that name,
// the linker takes nothing from kernel32's import library, and the import table stays within
// Windows 2000. The pointer leads to ThreadIdOf, which does what GetThreadId does: through
// kernel32's own function where the system has one (bound by name), else through ntdll's thread
// information, which Windows 2000 has (ThreadIdFromThreadInformation, which a platform test
// compares with GetThreadId, as no system that runs the tests lacks it). Toolchains that do not use
// GetThreadId (Debian 12's GCC 12) leave the slot unreferenced, and the linker drops it. The name
// is i686's; an x86-64 build names its slots otherwise and keeps its import, which is fine: no
// x86-64 Windows lacks GetThreadId.
#include "platform/windows2000_floor.h"

namespace {

struct ThreadBasicInformation {
  LONG exitStatus;
  void* tebBaseAddress;
  HANDLE uniqueProcess;
  HANDLE uniqueThread;
  ULONG_PTR affinityMask;
  LONG priority;
  LONG basePriority;
};

template <typename Fn>
Fn Bind(const wchar_t* module, const char* name) {
  const HMODULE handle = GetModuleHandleW(module);
  if (handle == nullptr) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(handle, name)));
}

DWORD WINAPI ThreadIdOf(HANDLE thread) {
  using GetThreadIdFn = DWORD(WINAPI*)(HANDLE);
  if (const auto getThreadId = Bind<GetThreadIdFn>(L"kernel32.dll", "GetThreadId")) {
    return getThreadId(thread);
  }
  return ThreadIdFromThreadInformation(thread);
}

}  // namespace

DWORD WINAPI ThreadIdFromThreadInformation(HANDLE thread) {
  using QueryThreadFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  using StatusToErrorFn = ULONG(WINAPI*)(LONG);
  const auto query = Bind<QueryThreadFn>(L"ntdll.dll", "NtQueryInformationThread");
  const auto statusToError = Bind<StatusToErrorFn>(L"ntdll.dll", "RtlNtStatusToDosError");
  ThreadBasicInformation information = {};
  const int threadBasicInformation = 0;
  const LONG status = query == nullptr ? -1
                                       : query(thread, threadBasicInformation, &information,
                                               sizeof information, nullptr);
  if (status != 0) {
    // The error GetThreadId leaves: the status in Windows' words (access denied, invalid handle).
    SetLastError(query != nullptr && statusToError != nullptr ? statusToError(status)
                                                              : ERROR_INVALID_HANDLE);
    return 0;
  }
  return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(information.uniqueThread));
}

extern "C" {
// The import slot itself, under the exact name the runtime's code refers to.
DWORD(WINAPI* windows2000_floor_get_thread_id)(HANDLE) __asm__("__imp__GetThreadId@4") = ThreadIdOf;
}
