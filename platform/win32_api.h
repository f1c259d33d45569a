// The one place that knows whether real Windows is there.
//
// Windows build: the system headers and nothing more.
// Host build: the same Win32 names the launcher uses, with the same shapes (WCHAR is char16_t), so
// that every other file compiles unchanged; tests/fake_windows defines them over an in-memory
// machine.
#pragma once

#if defined(_WIN32)

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
// windows.h first: the others build on it.
#include <windows.h>

#include <shellapi.h>
#include <tlhelp32.h>

#else  // host build against the fake Windows

#include <cstddef>
#include <cstdint>

#define WINAPI

using BOOL = int;
using BYTE = std::uint8_t;
using CHAR = char;
using WCHAR = char16_t;
using UINT = unsigned int;
using USHORT = std::uint16_t;
using INT = int;
using LONG = std::int32_t;
using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using ULONG_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using INT_PTR = std::intptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LSTATUS = LONG;
using HRESULT = LONG;
using REGSAM = DWORD;
using LPCWSTR = const WCHAR*;
using LPWSTR = WCHAR*;
using LPCSTR = const CHAR*;
using LPVOID = void*;
using LPBYTE = BYTE*;
using LPDWORD = DWORD*;
using HANDLE = void*;
// The handle structures under the system headers' own names, so that the host build's types are
// Windows' types: the reserved names are Windows' choice, not ours.
struct HKEY__;  // NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
using HKEY = HKEY__*;
using PHKEY = HKEY*;
struct HWND__;  // NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
using HWND = HWND__*;
struct HINSTANCE__;  // NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
using HICON = HANDLE;
using HGLOBAL = HANDLE;
struct HMENU__;  // NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
using HMENU = HMENU__*;
using SIZE_T = std::size_t;
using FARPROC = INT_PTR(WINAPI*)();

#define TRUE 1
#define FALSE 0
#define MAX_PATH 260

#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))

#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NO_MORE_FILES 18L
#define ERROR_FILE_EXISTS 80L
#define ERROR_DISK_FULL 112L
#define ERROR_DIR_NOT_EMPTY 145L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_DIRECTORY 267L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_NAME 123L
#define ERROR_BAD_PATHNAME 161L
#define ERROR_MORE_DATA 234L

#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL ((HRESULT)0x80004001L)
#define E_POINTER ((HRESULT)0x80004003L)
#define E_INVALIDARG ((HRESULT)0x80070057L)
#define E_OUTOFMEMORY ((HRESULT)0x8007000EL)

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_WOW64_64KEY 0x0100
#define KEY_WOW64_32KEY 0x0200
#define STANDARD_RIGHTS_READ 0x00020000L
#define KEY_READ 0x00020019L
#define KEY_ALL_ACCESS 0x000F003FL

#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)
#define GENERIC_READ 0x80000000L
#define GENERIC_WRITE 0x40000000L
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define FILE_END 2
#define INVALID_SET_FILE_POINTER ((DWORD)-1)
#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_ATTRIBUTE_REPARSE_POINT 0x00000400

#define SW_SHOWNORMAL 1
#define SEE_MASK_NOCLOSEPROCESS 0x00000040

#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001
#define WM_QUIT 0x0012
#define WM_USER 0x0400
#define WM_MOUSEFIRST 0x0200
#define WM_MOUSEMOVE 0x0200
#define WM_MOUSEHWHEEL 0x020E

#define TH32CS_SNAPPROCESS 0x00000002
#define SYNCHRONIZE 0x00100000L
#define PROCESS_TERMINATE 0x0001
#define PROCESS_VM_READ 0x0010
#define PROCESS_QUERY_INFORMATION 0x0400
#define PROCESS_QUERY_LIMITED_INFORMATION 0x1000
#define INFINITE 0xFFFFFFFF
#define WAIT_OBJECT_0 0x00000000L
#define WAIT_TIMEOUT 258L
#define WM_CLOSE 0x0010

#define CF_UNICODETEXT 13
#define GMEM_MOVEABLE 0x0002
#define HWND_MESSAGE ((HWND)(LONG_PTR)-3)

#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

struct POINT {
  LONG x;
  LONG y;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

struct OSVERSIONINFOW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
};

struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
};
struct OVERLAPPED;

struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  WCHAR cFileName[MAX_PATH];
  WCHAR cAlternateFileName[14];
};

struct SHELLEXECUTEINFOW {
  DWORD cbSize;
  unsigned long fMask;
  HWND hwnd;
  LPCWSTR lpVerb;
  LPCWSTR lpFile;
  LPCWSTR lpParameters;
  LPCWSTR lpDirectory;
  int nShow;
  HINSTANCE hInstApp;
  void* lpIDList;
  LPCWSTR lpClass;
  HKEY hkeyClass;
  DWORD dwHotKey;
  HANDLE hIcon;
  HANDLE hProcess;
};

struct PROCESSENTRY32W {
  DWORD dwSize;
  DWORD cntUsage;
  DWORD th32ProcessID;
  ULONG_PTR th32DefaultHeapID;
  DWORD th32ModuleID;
  DWORD cntThreads;
  DWORD th32ParentProcessID;
  LONG pcPriClassBase;
  DWORD dwFlags;
  WCHAR szExeFile[MAX_PATH];
};

// advapi32
LSTATUS WINAPI RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result);
LSTATUS WINAPI RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type,
                                LPBYTE data, LPDWORD dataSize);
LSTATUS WINAPI RegCloseKey(HKEY key);
LSTATUS WINAPI RegFlushKey(HKEY key);

// kernel32
BOOL WINAPI GetVersionExW(OSVERSIONINFOW* info);
DWORD WINAPI GetFileAttributesW(LPCWSTR fileName);
DWORD WINAPI GetLastError();
HANDLE WINAPI FindFirstFileW(LPCWSTR fileName, WIN32_FIND_DATAW* findData);
BOOL WINAPI FindNextFileW(HANDLE findFile, WIN32_FIND_DATAW* findData);
BOOL WINAPI FindClose(HANDLE findFile);
HANDLE WINAPI CreateFileW(LPCWSTR fileName, DWORD access, DWORD share,
                          SECURITY_ATTRIBUTES* security, DWORD disposition, DWORD flags,
                          HANDLE templateFile);
BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read,
                     OVERLAPPED* overlapped);
BOOL WINAPI WriteFile(HANDLE file, const void* buffer, DWORD toWrite, LPDWORD written,
                      OVERLAPPED* overlapped);
DWORD WINAPI GetFileSize(HANDLE file, LPDWORD sizeHigh);
DWORD WINAPI SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
BOOL WINAPI FlushFileBuffers(HANDLE file);
BOOL WINAPI DeleteFileW(LPCWSTR fileName);
BOOL WINAPI SetFileAttributesW(LPCWSTR fileName, DWORD attributes);
BOOL WINAPI MoveFileW(LPCWSTR existing, LPCWSTR newName);
BOOL WINAPI CreateDirectoryW(LPCWSTR path, SECURITY_ATTRIBUTES* security);
BOOL WINAPI RemoveDirectoryW(LPCWSTR path);
DWORD WINAPI GetLongPathNameW(LPCWSTR shortPath, LPWSTR longPath, DWORD size);
HANDLE WINAPI CreateMutexW(SECURITY_ATTRIBUTES* security, BOOL initialOwner, LPCWSTR name);
HMODULE WINAPI GetModuleHandleW(LPCWSTR moduleName);
HMODULE WINAPI LoadLibraryW(LPCWSTR fileName);
BOOL WINAPI FreeLibrary(HMODULE module);
UINT WINAPI GetSystemDirectoryW(LPWSTR buffer, UINT size);
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName);
BOOL WINAPI CloseHandle(HANDLE object);
DWORD WINAPI GetCurrentProcessId();
HANDLE WINAPI OpenProcess(DWORD access, BOOL inherit, DWORD processId);
BOOL WINAPI TerminateProcess(HANDLE process, UINT exitCode);
DWORD WINAPI WaitForSingleObject(HANDLE object, DWORD milliseconds);
void WINAPI Sleep(DWORD milliseconds);
DWORD WINAPI GetTickCount();
[[noreturn]] void WINAPI ExitProcess(UINT exitCode);
HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes);
LPVOID WINAPI GlobalLock(HGLOBAL memory);
BOOL WINAPI GlobalUnlock(HGLOBAL memory);
HGLOBAL WINAPI GlobalFree(HGLOBAL memory);
SIZE_T WINAPI GlobalSize(HGLOBAL memory);

// shell32
HINSTANCE WINAPI ShellExecuteW(HWND hwnd, LPCWSTR operation, LPCWSTR file, LPCWSTR parameters,
                               LPCWSTR directory, INT showCmd);
BOOL WINAPI ShellExecuteExW(SHELLEXECUTEINFOW* info);

// user32
BOOL WINAPI PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg);
BOOL WINAPI PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg);
BOOL WINAPI IsWindowUnicode(HWND hwnd);
DWORD WINAPI CharLowerBuffW(LPWSTR text, DWORD length);
DWORD WINAPI CharUpperBuffW(LPWSTR text, DWORD length);
HWND WINAPI CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style,
                            int x, int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID parameter);
BOOL WINAPI DestroyWindow(HWND window);
using WNDENUMPROC = BOOL(WINAPI*)(HWND, LPARAM);
BOOL WINAPI EnumWindows(WNDENUMPROC callback, LPARAM parameter);
DWORD WINAPI GetWindowThreadProcessId(HWND window, LPDWORD processId);
BOOL WINAPI IsWindowVisible(HWND window);
BOOL WINAPI PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL WINAPI OpenClipboard(HWND owner);
BOOL WINAPI EmptyClipboard();
HANDLE WINAPI SetClipboardData(UINT format, HANDLE memory);
HANDLE WINAPI GetClipboardData(UINT format);
UINT WINAPI EnumClipboardFormats(UINT format);
BOOL WINAPI CloseClipboard();

#endif  // _WIN32
