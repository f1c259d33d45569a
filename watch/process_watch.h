// Is the browser still running? Asked once a second while the launcher waits.
#pragma once

#include <vector>

#include "platform/launch_text.h"

// True when some other process of the player's own session has an image name that contains
// `name`, ignoring the case of A to Z. False when none does, when `name` is "", and when the
// process list cannot be read. A process in another session (another user signed in on this PC,
// or over Remote Desktop) never counts; where Windows tells no sessions, every process does.
bool IsProcessRunning(const LaunchText& name);

// A process whose image name contains the watched name, as the support report tells it.
struct MatchingProcess {
  LaunchText image;
  bool counts = false;  // IsProcessRunning would answer true for it
  DWORD session = 0;    // known whenever it does not count
};

// Every other process whose image name contains `name`, in the order of the process list, except
// those that ended while it was read. For the support report.
std::vector<MatchingProcess> RunningProcessesMatching(const LaunchText& name);
