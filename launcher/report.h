// The support report: what the launcher would do on this machine, from this folder, told in plain
// words. It runs the launcher's own lookup, substitution, name rule, process test and follow-up
// choice, and starts nothing, writes nothing and changes nothing.
#pragma once

#include "platform/launch_text.h"

// The report, one line after another, each ended by "\r\n". The last line is the verdict:
// "Verdict: starts ... and waits until no ... is running." or "Verdict: hands the address to the
// shell and does not wait, because ...".
LaunchText LauncherReport();
