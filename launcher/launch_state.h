// The launch state: what one run of the launcher has found out so far.
#pragma once

#include "platform/launch_text.h"

extern LaunchText LaunchUrl;    // the landing-page address
extern LaunchText BrowserExe;   // executable part of the browser's open command, quotes included
extern LaunchText BrowserArgs;  // its argument part; after substitution, the whole argument line
extern bool QuitRequested;      // a WM_QUIT was taken from the queue while waiting
