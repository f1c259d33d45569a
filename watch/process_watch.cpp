#include "watch/process_watch.h"

#include <cstring>

#include "platform/services.h"
#include "platform/text.h"

bool IsProcessRunning(const LaunchText& name) {
  bool found = false;
  const HANDLE snapshot = ToolhelpCreateSnapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  const LaunchText watched = FoldLowerAscii(name);
  // The launcher's own image never keeps the wait alive, whatever it is called.
  const DWORD self = GetCurrentProcessId();
  PROCESSENTRY32W entry;
  std::memset(&entry, 0, sizeof entry);
  entry.dwSize = sizeof entry;
  for (BOOL more = ToolhelpProcessFirst(snapshot, &entry); more;
       more = ToolhelpProcessNext(snapshot, &entry)) {
    if (entry.th32ProcessID == self) continue;
    const LaunchText image = TextUpToZero(entry.szExeFile, MAX_PATH);
    if (TextPos(watched, FoldLowerAscii(image)) > 0) {
      found = true;
      break;
    }
  }
  // A null snapshot (toolhelp not available) goes here too; closing it fails harmlessly.
  CloseHandle(snapshot);
  return found;
}
