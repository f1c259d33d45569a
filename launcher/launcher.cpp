#include "launcher/launcher.h"

#include "launcher/browser_lookup.h"
#include "launcher/launch_state.h"
#include "platform/services.h"
#include "platform/text.h"
#include "watch/browser_watch.h"

namespace {

const char16_t kPlaceholder[] = u"%1";

// Relative names: both the test and the shell resolve them against the current directory.
void OpenFollowUps() {
  const LaunchText shortcut = GameShortcutToOpen();
  if (!shortcut.empty()) ShellOpen(shortcut);
  if (IsExistingFile(kCompanion)) ShellOpen(kCompanion);
}

}  // namespace

// The browser's command template gets the address in place of every "%1", unquoted and unescaped
// (the template carries its own quotes); a template without one gets the address alone.
void FillAddressIntoArguments() {
  if (TextPos(kPlaceholder, BrowserArgs) == 0) {
    BrowserArgs = LaunchUrl;
  } else {
    BrowserArgs = ReplaceAllNoCase(BrowserArgs, kPlaceholder, LaunchUrl);
  }
}

LaunchText GameShortcutToOpen() {
  if (IsExistingFile(kGameShortcut)) return kGameShortcut;
  if (IsExistingFile(kGameInternetShortcut)) return kGameInternetShortcut;
  return u"";
}

void LauncherMain() {
  RestrictDllSearchToSystem();
  LaunchUrl = kLandingPageUrl;
  FindDefaultBrowser();
  FillAddressIntoArguments();
  if (!TextEquals(BrowserExe, u"")) {
    RunBrowserAndWait(BrowserExe, BrowserArgs, SW_SHOWNORMAL);
  } else {
    ShellOpen(LaunchUrl);
  }
  OpenFollowUps();
  ExitProcess(0);
}
