// The launcher's entry: the fixed order in which it works.
#pragma once

#include <vector>

#include "platform/launch_text.h"

// The game's landing page, used exactly as stored.
extern const char16_t kLandingPageUrl[];

// The follow-up items, relative to the current directory.
extern const char16_t kGameShortcut[];
extern const char16_t kGameInternetShortcut[];
extern const char16_t kCompanion[];

// Puts LaunchUrl into BrowserArgs: in place of every "%1", or as the whole argument line when
// there is none.
void FillAddressIntoArguments();

// The follow-up items the launcher opens, in order: "play.lnk" when it exists as a file, else
// "play.url" when that does; then "fscommand\wgame.exe" when it does.
std::vector<LaunchText> FollowUpsToOpen();

// Runs the launch sequence once and ends the process with exit code 0. Never returns.
[[noreturn]] void LauncherMain();
