// Is the browser still running? Asked once a second while the launcher waits.
#pragma once

#include <vector>

#include "platform/launch_text.h"

// True when some other process's image name contains `name`, ignoring the case of A to Z. False
// when none does, when `name` is "", and when the process list cannot be read.
bool IsProcessRunning(const LaunchText& name);

// The image names of every other process that IsProcessRunning(name) would find, in the order of
// the process list. For the support report.
std::vector<LaunchText> RunningProcessesMatching(const LaunchText& name);
