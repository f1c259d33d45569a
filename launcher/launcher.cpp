#include "launcher/launcher.h"

#include "launcher/browser_lookup.h"
#include "launcher/launch_state.h"
#include "platform/services.h"
#include "platform/text.h"
#include "watch/browser_watch.h"

const char16_t kLandingPageUrl[] = u"https://www.wgame.example/index.php?id=304&r=720";

namespace {

const char16_t kPlaceholder[] = u"%1";
const char16_t kGameShortcut[] = u"play.lnk";
const char16_t kGameInternetShortcut[] = u"play.url";
const char16_t kCompanion[] = u"fscommand\\wgame.exe";

// The browser's command template gets the address in place of every "%1", unquoted and unescaped
// (the template carries its own quotes); a template without one gets the address alone.
void FillAddressIntoArguments() {
  if (TextPos(kPlaceholder, BrowserArgs) == 0) {
    BrowserArgs = LaunchUrl;
  } else {
    BrowserArgs = ReplaceAllNoCase(BrowserArgs, kPlaceholder, LaunchUrl);
  }
}

// Relative names: both the test and the shell resolve them against the current directory.
void OpenFollowUps() {
  if (IsExistingFile(kGameShortcut)) {
    ShellOpen(kGameShortcut);
  } else if (IsExistingFile(kGameInternetShortcut)) {
    ShellOpen(kGameInternetShortcut);
  }
  if (IsExistingFile(kCompanion)) ShellOpen(kCompanion);
}

}  // namespace

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
