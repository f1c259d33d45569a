#include "watch/browser_watch.h"

#include <cstring>

#include "launcher/launch_state.h"
#include "platform/text.h"
#include "watch/process_watch.h"

namespace {

const DWORD kPollIntervalMs = 1000;

bool StartBrowser(const LaunchText& exe, const LaunchText& args, int show) {
  SHELLEXECUTEINFOW info;
  std::memset(&info, 0, sizeof info);
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpFile = Wide(exe);
  info.lpParameters = Wide(args);
  info.nShow = show;
  // The handle is not waited on: the browser may hand the page to an instance already running and
  // exit at once, so the wait follows image names instead. It is let go at once rather than held
  // for the whole wait.
  if (ShellExecuteExW(&info) == FALSE) return false;
  if (info.hProcess != nullptr) CloseHandle(info.hProcess);
  return true;
}

}  // namespace

LaunchText WatchedImageNameOf(const LaunchText& exe) {
  const int length = static_cast<int>(exe.size());
  // The last character is normally the closing quote; the scan starts before it and never goes
  // before the first character.
  for (int k = length - 1; k >= 1; --k) {
    if (exe[static_cast<std::size_t>(k - 1)] == u'\\') {
      return TextCopy(exe, k + 1, length - k - 1);
    }
  }
  // No folder in front: a quoted bare file name such as "firefox.exe".
  LaunchText name = TextCopy(exe, 1, length - 1);
  if (!name.empty() && name[0] == u'"') name.erase(0, 1);
  return name;
}

LaunchText WatchedImageNameFor(const LaunchText& exe) {
  LaunchText watched = WatchedImageNameOf(exe);
  // Opera's stub launcher.exe starts opera.exe and exits.
  if (TextEquals(FoldLowerSystem(watched), u"launcher.exe")) return u"opera.exe";
  return watched;
}

void RunBrowserAndWait(const LaunchText& exe, const LaunchText& args, int show) {
  if (TextEquals(exe, u"")) return;
  if (!StartBrowser(exe, args, show)) return;
  const LaunchText watched = WatchedImageNameFor(exe);
  bool running = true;
  while (running && !QuitRequested) {
    Sleep(kPollIntervalMs);
    DrainMessages();
    running = IsProcessRunning(watched);
  }
}

void DrainMessages() {
  while (PumpOneMessage()) {
  }
}

bool PumpOneMessage() {
  MSG msg;
  std::memset(&msg, 0, sizeof msg);
  BOOL got = PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSEHWHEEL, PM_REMOVE);
  if (!got && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) return false;
  const bool unicode = msg.hwnd == nullptr || IsWindowUnicode(msg.hwnd) != FALSE;
  if (!got) {
    got = unicode ? PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)
                  : PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
  }
  if (!got) return false;
  if (msg.message == WM_QUIT) QuitRequested = true;
  return true;
}
