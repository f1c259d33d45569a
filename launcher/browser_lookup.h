// Finding the user's default browser: the open command of the program that handles http links.
#pragma once

#include "platform/launch_text.h"

// Reads the open command of the user's http handler and splits it into BrowserExe and
// BrowserArgs. Sets BrowserExe to "" first; never lets a failure out, keeping what it had assigned.
void FindDefaultBrowser();

// Cuts an open command at its first double quote from the second character on: BrowserExe is
// everything up to and including that quote (a quoted path keeps both quotes), BrowserArgs is the
// rest, untrimmed. Without such a quote BrowserExe is "" and BrowserArgs the whole command.
void SplitBrowserCommand(const LaunchText& command);
