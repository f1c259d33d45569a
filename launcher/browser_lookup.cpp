#include "launcher/browser_lookup.h"

#include <memory>

#include "launcher/launch_state.h"
#include "platform/registry.h"
#include "platform/services.h"
#include "platform/text.h"

namespace {

const char16_t kUserChoiceKey[] =
    u"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoice";
const char16_t kOpenCommandKey[] = u"\\shell\\open\\command";
const char16_t kOldHttpCommandKey[] = u"http\\shell\\open\\command";

// Opens `key` when it exists for reading and also opens with the accessor's full rights.
bool OpenExistingKey(TRegistry& registry, const LaunchText& key) {
  return registry.KeyExists(key) && registry.OpenKey(key, false);
}

// Windows Vista and later: the handler the user chose, by its ProgId.
void ReadUserChoiceCommand(TRegistry& registry) {
  registry.SetRootKey(HKEY_CURRENT_USER);
  if (!OpenExistingKey(registry, kUserChoiceKey)) return;
  const LaunchText progId = registry.ReadString(u"Progid");
  registry.CloseKey();
  registry.SetRootKey(HKEY_CLASSES_ROOT);
  // An empty ProgId makes this an absolute key name below the root; it is normally absent.
  if (OpenExistingKey(registry, progId + kOpenCommandKey)) {
    SplitBrowserCommand(registry.ReadString(u""));
  }
}

// Older systems: the class-wide http command, taken only when it names an executable.
void ReadClassCommand(TRegistry& registry) {
  registry.SetRootKey(HKEY_CLASSES_ROOT);
  if (!OpenExistingKey(registry, kOldHttpCommandKey)) return;
  const LaunchText command = FoldLowerSystem(registry.ReadString(u""));
  if (TextPos(u".exe", command) > 0) SplitBrowserCommand(command);
}

}  // namespace

void SplitBrowserCommand(const LaunchText& command) {
  const int quote = TextPosFrom(u"\"", command, 2);
  BrowserExe = TextCopy(command, 1, quote);
  BrowserArgs = TextCopy(command, quote + 1, static_cast<int>(command.size()) - quote);
}

void FindDefaultBrowser() {
  // The accessor outlives the lookup and its last key stays open until the process ends; it has
  // nothing to release that the rest of the run could observe.
  static std::unique_ptr<TRegistry> registry;
  try {
    registry = std::make_unique<TRegistry>();
    BrowserExe = u"";
    DWORD major = 0;
    if (!QueryOsMajorVersion(major)) return;
    if (major >= 6) {
      ReadUserChoiceCommand(*registry);
    } else {
      ReadClassCommand(*registry);
    }
  } catch (...) {
    // Odd registry data ends the lookup quietly; what was found so far stands.
  }
}
