// The system's process information, as ntdll's NtQuerySystemInformation gives it: one entry per
// process, every session's, without opening any of them. Not in the system headers; the layout is
// Windows' own from 2000 on, the same on x86 and x86-64 by natural alignment.
#pragma once

#include <cstddef>

#include "platform/win32_api.h"

// The head of one entry, up to the field the launcher reads last. The process's threads follow it;
// the next entry starts NextEntryOffset bytes after this one (0 on the last).
struct SystemProcessEntry {
  ULONG NextEntryOffset;
  ULONG NumberOfThreads;
  BYTE Reserved1[48];
  USHORT ImageNameLength;  // the image name, a UNICODE_STRING
  USHORT ImageNameMaximumLength;
  WCHAR* ImageNameBuffer;
  LONG BasePriority;
  HANDLE UniqueProcessId;
  HANDLE InheritedFromUniqueProcessId;
  ULONG HandleCount;
  ULONG SessionId;  // 0 for every process where Windows has no Terminal Services
};

static_assert(offsetof(SystemProcessEntry, SessionId) == (sizeof(void*) == 4 ? 80 : 100),
              "the session sits where Windows puts it");

using NtQuerySystemInformationFn = LONG(WINAPI*)(ULONG infoClass, void* buffer, ULONG size,
                                                 ULONG* returned);

const ULONG kSystemProcessInformation = 5;
const LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004UL);
const LONG kStatusBufferTooSmall = static_cast<LONG>(0xC0000023UL);
