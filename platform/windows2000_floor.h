// What keeps the shipped programs loadable on Windows 2000 (see windows2000_floor.cpp).
#pragma once

#include "platform/win32_api.h"

// GetThreadId's answer for `thread` through ntdll's thread information, for systems whose kernel32
// lacks GetThreadId (2000 and XP): the thread's id, or 0 with the last error set as GetThreadId
// sets it.
DWORD WINAPI ThreadIdFromThreadInformation(HANDLE thread);
