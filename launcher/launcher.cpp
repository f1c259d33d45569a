#include "launcher/launcher.h"

#include "launcher/browser_lookup.h"
#include "launcher/launch_state.h"
#include "platform/services.h"
#include "platform/text.h"
#include "watch/browser_watch.h"

namespace {

const char16_t kPlaceholder[] = u"%1";

void OpenFollowUps() {
  for (const LaunchText& item : FollowUpsToOpen()) ShellOpen(item);
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

// Relative names: both the test and the shell resolve them against the current directory.
std::vector<LaunchText> FollowUpsToOpen() {
  std::vector<LaunchText> items;
  if (IsExistingFile(kGameShortcut)) {
    items.emplace_back(kGameShortcut);
  } else if (IsExistingFile(kGameInternetShortcut)) {
    items.emplace_back(kGameInternetShortcut);
  }
  if (IsExistingFile(kCompanion)) items.emplace_back(kCompanion);
  return items;
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
