// The launcher's entry: the fixed order in which it works.
#pragma once

#include "platform/launch_text.h"

// The game's landing page, used exactly as stored.
extern const char16_t kLandingPageUrl[];

// Runs the launch sequence once and ends the process with exit code 0. Never returns.
[[noreturn]] void LauncherMain();
