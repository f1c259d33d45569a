#include "watch/process_watch.h"

#include <cstdint>
#include <cstring>

#include "platform/services.h"
#include "platform/text.h"

namespace {

enum class Verdict : std::uint8_t { kCounts, kOtherSession, kEnded };

// Decides, for one look at the process list, whether a process whose name matched keeps the wait
// going: only the player's own, that is one in the launcher's session. Sessions are asked only
// once a name matched; the launcher's own once a run.
class PlayerSession {
 public:
  // `process`'s verdict; its session, when known, goes into `match`.
  Verdict Of(DWORD process, MatchingProcess& match) {
    DWORD own = 0;
    switch (sessions_.SessionOf(process, match.session)) {
      case SessionAnswer::kKnown:
        // Without the launcher's own session there is nothing to compare with.
        return !OwnSession(own) || match.session == own ? Verdict::kCounts : Verdict::kOtherSession;
      case SessionAnswer::kEnded:
        // Gone since the snapshot: it keeps nothing running.
        return Verdict::kEnded;
      case SessionAnswer::kUnknown:
        break;
    }
    // This Windows tells no session (the functions missing, or the information unreadable):
    // every process counts, as if there were one session. (Windows 2000 has the functions and
    // answers session 0 for every process where Terminal Services are off.)
    return Verdict::kCounts;
  }

 private:
  ProcessSessions sessions_;
};

// Walks one snapshot of the process list, handing `visit` every other process whose image name
// contains `name` (A to Z folded on both sides), with its session, until it answers false.
template <typename Visit>
void ForEachMatchingProcess(const LaunchText& name, Visit visit) {
  const HANDLE snapshot = ToolhelpCreateSnapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  const LaunchText watched = FoldLowerAscii(name);
  // The launcher's own image never keeps the wait alive, whatever it is called.
  const DWORD self = GetCurrentProcessId();
  PlayerSession player;
  PROCESSENTRY32W entry;
  std::memset(&entry, 0, sizeof entry);
  entry.dwSize = sizeof entry;
  for (BOOL more = ToolhelpProcessFirst(snapshot, &entry); more;
       more = ToolhelpProcessNext(snapshot, &entry)) {
    if (entry.th32ProcessID == self) continue;
    MatchingProcess match;
    match.image = TextUpToZero(entry.szExeFile, MAX_PATH);
    if (TextPos(watched, FoldLowerAscii(match.image)) == 0) continue;
    const Verdict verdict = player.Of(entry.th32ProcessID, match);
    if (verdict == Verdict::kEnded) continue;
    match.counts = verdict == Verdict::kCounts;
    if (!visit(match)) break;
  }
  // A null snapshot (toolhelp not available) goes here too; closing it fails harmlessly.
  CloseHandle(snapshot);
}

}  // namespace

bool IsProcessRunning(const LaunchText& name) {
  bool found = false;
  ForEachMatchingProcess(name, [&found](const MatchingProcess& match) {
    found = match.counts;
    return !found;  // the first process that counts answers the question
  });
  return found;
}

std::vector<MatchingProcess> RunningProcessesMatching(const LaunchText& name) {
  std::vector<MatchingProcess> matches;
  ForEachMatchingProcess(name, [&matches](const MatchingProcess& match) {
    matches.push_back(match);
    return true;
  });
  return matches;
}
