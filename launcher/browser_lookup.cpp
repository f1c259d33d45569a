#include "launcher/browser_lookup.h"

#include <memory>
#include <new>

#include "launcher/launch_state.h"
#include "platform/registry.h"
#include "platform/services.h"
#include "platform/text.h"

const char16_t kUserChoiceLatestKey[] =
    u"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoiceLatest\\"
    u"ProgId";
const char16_t kUserChoiceKey[] =
    u"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoice";

namespace {

const char16_t kOpenCommandKey[] = u"\\shell\\open\\command";
const char16_t kOldHttpCommandKey[] = u"http\\shell\\open\\command";

class Unobserved final : public LookupObserver {};

// The accessor outlives the lookup and its last key stays open until the process ends; it has
// nothing to release that the rest of the run could observe. At namespace scope rather than as a
// function's static: the thread-safe guard of a function's static would make the runtime create a
// semaphore, one more handle held for the whole wait.
std::unique_ptr<TRegistry> registry;

// How a route ended: what LookupEnded is told.
struct Ending {
  LookupEnd end = LookupEnd::kSplit;
  LONG error = 0;
  LaunchText detail;
};

// Opens `key` when it exists for reading and also opens with the accessor's full rights; when it
// does not, says why in `ending`.
bool OpenExistingKey(TRegistry& registry, const LaunchText& key, LookupObserver& observer,
                     Ending& ending) {
  const bool readable = registry.KeyExists(key);
  const bool opened = readable && registry.OpenKey(key, false);
  const LONG error = readable && !opened ? registry.LastError() : 0;
  observer.KeyTried(registry.RootKey(), key, readable, opened, error);
  if (!opened) {
    ending = {readable ? LookupEnd::kCommandKeyReadOnly : LookupEnd::kNoCommandKey, error, key};
  }
  return opened;
}

LaunchText ReadText(TRegistry& registry, const LaunchText& name, LookupObserver& observer) {
  LaunchText text = registry.ReadString(name);
  observer.ValueRead(registry.CurrentPath(), name, text);
  return text;
}

void Split(const LaunchText& command, LookupObserver& observer) {
  observer.CommandSplit(command);
  SplitBrowserCommand(command);
}

// The choice keys are opened for reading only: the launcher never writes them, and Windows guards
// them against writing (a deny entry in their security, and since 2024 a driver that refuses
// write access to the http choice to programs Microsoft did not sign). Asking for write rights
// would turn a readable choice into "no browser".
bool OpenChoiceKey(TRegistry& registry, const char16_t* key, LookupObserver& observer,
                   LONG& error) {
  const bool opened = registry.OpenKeyReadOnly(key);
  error = opened ? 0 : registry.LastError();
  observer.ChoiceKeyTried(key, opened, error);
  return opened;
}

// Windows 11 since 24H2 keeps the user's choice here, and Settings writes only this key, so the
// legacy key can name a browser the user has left. Whatever goes wrong here leaves the lookup as
// it was without this key: "" sends it to the legacy key.
LaunchText ReadLatestProgId(TRegistry& registry, LookupObserver& observer) {
  LONG error = 0;
  if (!OpenChoiceKey(registry, kUserChoiceLatestKey, observer, error)) return u"";
  LaunchText progId;
  try {
    progId = ReadText(registry, u"ProgId", observer);
  } catch (const ERegistryException& failure) {
    observer.LatestValueFailed(failure.Message());
  }
  registry.CloseKey();
  return progId;
}

// Windows 10 and later say themselves which ProgId opens http links: the one Settings shows,
// whichever choice key Windows honoured, and none whose Hash does not match. The keys can
// disagree with that on Windows 11 since 24H2 (Settings writes only the newer key; a browser
// that makes itself the default may write only the legacy one), and no fixed order of them is
// right on every machine. Older Windows, and Wine, give no answer: "" leaves it to the keys.
LaunchText ShellProgId(LookupObserver& observer) {
  const ShellAnswer answer = AskShellAboutHttp(kAssocProgId);
  observer.ShellAnswered(answer);
  return answer.Answered() ? answer.text : LaunchText();
}

// Windows Vista and later: the handler the user chose, by its ProgId.
Ending ReadUserChoiceCommand(TRegistry& registry, LookupObserver& observer) {
  Ending ending;
  registry.SetRootKey(HKEY_CURRENT_USER);
  LaunchText progId = ShellProgId(observer);
  if (progId.empty()) progId = ReadLatestProgId(registry, observer);
  if (progId.empty()) {
    if (!OpenChoiceKey(registry, kUserChoiceKey, observer, ending.error)) {
      ending.end = LookupEnd::kNoChoice;
      return ending;
    }
    progId = ReadText(registry, u"Progid", observer);
    registry.CloseKey();
  }
  registry.SetRootKey(HKEY_CLASSES_ROOT);
  // Unlike the choice keys, the command key must open with full rights: that is what decides
  // whether the launcher starts the browser and waits. A browser installed for all users (Edge
  // always) keeps its command where a standard user may not write, and takes the shell's route:
  // Edge keeps background processes running after its last window closes, and a wait for it
  // would not end. An empty ProgId makes this an absolute key name below the root; it is normally
  // absent.
  if (OpenExistingKey(registry, progId + kOpenCommandKey, observer, ending)) {
    Split(ReadText(registry, u"", observer), observer);
  }
  return ending;
}

// Older systems: the class-wide http command, taken only when it names an executable.
Ending ReadClassCommand(TRegistry& registry, LookupObserver& observer) {
  Ending ending;
  registry.SetRootKey(HKEY_CLASSES_ROOT);
  if (!OpenExistingKey(registry, kOldHttpCommandKey, observer, ending)) return ending;
  const LaunchText command = FoldLowerSystem(ReadText(registry, u"", observer));
  if (TextPos(u".exe", command) > 0) {
    Split(command, observer);
  } else {
    ending.end = LookupEnd::kNotAnExe;
  }
  return ending;
}

}  // namespace

void SplitBrowserCommand(const LaunchText& command) {
  const int quote = TextPosFrom(u"\"", command, 2);
  BrowserExe = TextCopy(command, 1, quote);
  BrowserArgs = TextCopy(command, quote + 1, static_cast<int>(command.size()) - quote);
}

void FindDefaultBrowser() {
  Unobserved nobody;
  FindDefaultBrowser(nobody);
}

void FindDefaultBrowser(LookupObserver& observer) {
  try {
    registry = std::make_unique<TRegistry>();
    BrowserExe = u"";
    DWORD major = 0;
    const bool answered = QueryOsMajorVersion(major);
    observer.VersionRead(answered, major);
    Ending ending;
    if (!answered) {
      ending.end = LookupEnd::kNoVersion;
    } else if (major >= 6) {
      ending = ReadUserChoiceCommand(*registry, observer);
    } else {
      ending = ReadClassCommand(*registry, observer);
    }
    observer.LookupEnded(ending.end, ending.error, ending.detail);
  } catch (const ERegistryException& failure) {
    // Odd registry data ends the lookup quietly; what was found so far stands.
    observer.LookupEnded(LookupEnd::kFailure, 0, failure.Message());
  } catch (const std::bad_alloc&) {
    observer.LookupEnded(LookupEnd::kFailure, 0, u"out of memory");
  } catch (...) {
    observer.LookupEnded(LookupEnd::kFailure, 0, u"an unexpected failure");
  }
}
