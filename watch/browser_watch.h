// Starting the browser and holding the launcher back until it is gone.
#pragma once

#include "platform/launch_text.h"

// Starts `exe` with `args` through the shell and, when it started, waits: every second it empties
// the message queue and looks for a process whose image name contains the browser's file name.
// Returns when the start failed, when no such process is left, or once a WM_QUIT was taken.
void RunBrowserAndWait(const LaunchText& exe, const LaunchText& args, int show);

// The image name to watch for a browser executable as the open command names it (normally a
// quoted path): the file name between the last backslash and the closing quote.
LaunchText WatchedImageNameOf(const LaunchText& exe);

// The image name the wait looks for: WatchedImageNameOf, except that Opera's stub launcher.exe
// (in any case) is watched as the opera.exe it starts.
LaunchText WatchedImageNameFor(const LaunchText& exe);

// Removes every waiting message from this thread's queue; a WM_QUIT sets QuitRequested.
void DrainMessages();

// Removes at most one message, mouse messages first; true when it removed one.
bool PumpOneMessage();
