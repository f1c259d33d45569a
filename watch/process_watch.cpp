#include "watch/process_watch.h"

#include <cstring>

#include "platform/services.h"
#include "platform/text.h"

namespace {

// Walks one snapshot of the process list, handing `visit` the image name of every other process
// whose name contains `name` (A to Z folded on both sides) until it answers false.
template <typename Visit>
void ForEachMatchingProcess(const LaunchText& name, Visit visit) {
  const HANDLE snapshot = ToolhelpCreateSnapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
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
    if (TextPos(watched, FoldLowerAscii(image)) > 0 && !visit(image)) break;
  }
  // A null snapshot (toolhelp not available) goes here too; closing it fails harmlessly.
  CloseHandle(snapshot);
}

}  // namespace

bool IsProcessRunning(const LaunchText& name) {
  bool found = false;
  ForEachMatchingProcess(name, [&found](const LaunchText&) {
    found = true;
    return false;  // the first match answers the question
  });
  return found;
}

std::vector<LaunchText> RunningProcessesMatching(const LaunchText& name) {
  std::vector<LaunchText> images;
  ForEachMatchingProcess(name, [&images](const LaunchText& image) {
    images.push_back(image);
    return true;
  });
  return images;
}
