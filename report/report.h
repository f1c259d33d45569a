// The support report: what the launcher would do on this machine, from this folder, told in plain
// words. It runs the launcher's own lookup, substitution, name rule, process test and follow-up
// choice, and starts nothing, writes nothing and changes nothing.
#pragma once

#include "platform/launch_text.h"

// The version Windows really is, from ntdll's RtlGetVersion: without a compatibility manifest the
// launcher's GetVersionExW sees 6.2 on Windows 8.1 to 11. `known` is false where it was not asked.
struct RealWindowsVersion {
  bool known = false;
  DWORD major = 0;
  DWORD minor = 0;
  DWORD build = 0;
};

// The report, one line after another, each ended by "\r\n". The last line is the verdict:
// "Verdict: starts ... and waits until no ... is running." or "Verdict: hands the address to the
// shell and does not wait, because ...".
LaunchText LauncherReport(const RealWindowsVersion& real = {});

// Puts `text` on the clipboard as Unicode text, through a hidden window of its own (a clipboard
// opened without an owner window takes no data), trying for half a second while another program
// holds it. False, with nothing left behind, when the clipboard cannot be had or the text cannot
// be placed; the clipboard then holds what it held, but for formats that are no memory (a picture
// only as a bitmap handle, a metafile), which a failed placing loses.
bool CopyToClipboard(const LaunchText& text);

// Whether the report ends by waiting for Enter, so that the console window Windows made for it (a
// double-click in Explorer) stays until it is read. Never when its output goes anywhere but a
// console, nor in a console it shares with a command prompt. `consoleProcesses` is
// GetConsoleProcessList's count, 0 where Windows has no such function (2000); then a console whose
// cursor was still at its top-left corner before the report wrote anything was made for it alone.
bool WaitsForEnter(bool outputIsConsole, DWORD consoleProcesses, bool cursorAtOrigin);
