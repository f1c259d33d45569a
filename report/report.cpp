#include "report/report.h"

#include <cstring>
#include <vector>

#include "launcher/browser_lookup.h"
#include "launcher/launch_state.h"
#include "launcher/launcher.h"
#include "platform/registry.h"
#include "platform/services.h"
#include "platform/text.h"
#include "watch/browser_watch.h"
#include "watch/process_watch.h"

namespace {

LaunchText Decimal(unsigned long value) {
  LaunchText digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value != 0);
  return digits;
}

LaunchText Hex(DWORD value) {
  LaunchText digits;
  for (int shift = 28; shift >= 0; shift -= 4) {
    digits += u"0123456789ABCDEF"[(value >> shift) & 0xF];
  }
  return u"0x" + digits;
}

LaunchText Shown(const LaunchText& text) {
  return text.empty() ? LaunchText(u"(empty)") : text;
}

// The lookup reads below these two roots only.
LaunchText KeyName(HKEY root, const LaunchText& name) {
  const LaunchText rootName =
      root == HKEY_CLASSES_ROOT ? u"HKEY_CLASSES_ROOT" : u"HKEY_CURRENT_USER";
  return rootName + (name.empty() || name[0] != u'\\' ? u"\\" : u"") + name;
}

LaunchText WindowsError(LONG error) {
  LaunchText text = u"error " + Decimal(static_cast<unsigned long>(error));
  if (error == ERROR_ACCESS_DENIED) text += u", access denied";
  if (error == ERROR_FILE_NOT_FOUND) text += u", not found";
  return text;
}

// A choice key's ProgId, read apart from the lookup, for a key the lookup did not read. "" with
// `exists` false when there is no such key.
LaunchText ChoiceKeyProgId(const char16_t* key, const char16_t* value, bool& exists) {
  TRegistry registry;
  exists = registry.OpenKeyReadOnly(key);
  LaunchText progId;
  if (exists) {
    try {
      progId = registry.ReadString(value);
    } catch (const ERegistryException& failure) {
      progId = u"(not text: " + failure.Message() + u")";
    }
    registry.CloseKey();
  }
  return progId;
}

bool SameNoCase(const LaunchText& a, const LaunchText& b) {
  return TextEquals(FoldLowerAscii(a), FoldLowerAscii(b));
}

// Why the shell gave no ProgId, in a few words.
LaunchText WhyNoShellAnswer(HRESULT code) {
  switch (code) {
    case S_OK:
      return u"an empty ProgId";
    case E_NOTIMPL:
      return u"not implemented, as under Wine";
    case E_INVALIDARG:
      return u"Windows before 10 does not know the question";
    case kNoShellFunction:
      return u"shlwapi.dll has no AssocQueryStringW";
    case kNoShellLibrary:
      return u"no shlwapi.dll in the system folder";
    default:
      return u"a failure";
  }
}

// The program an open command names: its quoted path, or what comes before its first space.
LaunchText ProgramOf(const LaunchText& command) {
  if (!command.empty() && command[0] == u'"') {
    const std::size_t quote = command.find(u'"', 1);
    return command.substr(1, quote == LaunchText::npos ? LaunchText::npos : quote - 1);
  }
  return command.substr(0, command.find(u' '));
}

// Tells what the lookup meets as it goes, and why it ended where it did.
class LookupNarrator final : public LookupObserver {
 public:
  explicit LookupNarrator(LaunchText& out) : out_(out) {}

  void VersionRead(bool answered, DWORD major) override {
    if (!answered) {
      Line(u"Windows version: the query failed, so the launcher looks for no browser.");
    } else if (major >= 6) {
      Line(u"The launcher sees major version " + Decimal(major) +
           u", so it asks Windows which ProgId opens http links (Windows 10 and later answer); "
           u"without an answer it reads the user's choice of http handler (UserChoiceLatest, "
           u"where Windows 11 keeps it since 24H2, and failing that UserChoice); then it reads "
           u"that ProgId's open command.");
    } else {
      oldRoute_ = true;
      Line(u"The launcher sees major version " + Decimal(major) +
           u", older than Vista, so it reads the class-wide http open command.");
    }
  }

  void ShellAnswered(const ShellAnswer& answer) override {
    if (!answer.Answered()) {
      Line(u"Windows' answer for http links: no answer (" + Hex(static_cast<DWORD>(answer.code)) +
           u", " + WhyNoShellAnswer(answer.code) + u"), so the launcher reads the choice keys.");
      return;
    }
    Line(u"Windows' answer for http links: ProgId " + answer.text +
         u". The launcher follows it and does not read the choice keys.");
    TellChoiceKeysBeside(answer.text);
  }

  void ChoiceKeyTried(const char16_t* key, bool opened, LONG error) override {
    const bool latest = TextEquals(key, kUserChoiceLatestKey);
    if (!latest) {
      Line(u"UserChoiceLatest gives no ProgId (" + latestWhy_ +
           u"), so the launcher reads UserChoice, as on Windows before 11 24H2.");
    }
    if (opened) {
      Line(u"Key " + KeyName(HKEY_CURRENT_USER, key) +
           u": exists, and opens for reading (the launcher only reads this key).");
      if (!latest) TellWriteGuard(key);
      return;
    }
    const LaunchText why = error == ERROR_FILE_NOT_FOUND ? LaunchText(u"the key does not exist")
                                                         : u"the key does not open for reading (" +
                                                               WindowsError(error) + u")";
    Line(u"Key " + KeyName(HKEY_CURRENT_USER, key) + u": " + why + u".");
    if (latest) latestWhy_ = why;
  }

  void LatestValueFailed(const LaunchText& message) override {
    latestWhy_ = u"its ProgId is not text (" + message + u")";
    Line(u"UserChoiceLatest ProgId: not read, " + latestWhy_ + u".");
  }

  void KeyTried(HKEY root, const LaunchText& name, bool readable, bool opened,
                LONG error) override {
    if (!latestProgId_.empty()) Line(WhyNotTheLegacyKey(latestProgId_));
    const LaunchText key = KeyName(root, name);
    if (!readable) {
      Line(u"Key " + key + u": does not exist (or may not be read).");
    } else if (opened) {
      Line(u"Key " + key + u": exists, and opens with full rights.");
    } else {
      Line(u"Key " + key + u": exists for reading, but does not open with full rights (" +
           WindowsError(error) +
           u"). The usual cause: the browser is installed for all users, and this user may read "
           u"its key but not write it.");
    }
  }

  void ValueRead(const LaunchText& key, const LaunchText& /*name*/,
                 const LaunchText& text) override {
    if (TextEquals(key, kUserChoiceLatestKey)) {
      latestProgId_ = text;
      if (text.empty()) latestWhy_ = u"its ProgId is empty or missing";
      Line(u"UserChoiceLatest ProgId: " + Shown(text));
    } else if (TextEquals(key, kUserChoiceKey)) {
      Line(u"UserChoice ProgId: " + Shown(text));
    } else {
      command_ = text;
      Line(u"Command as stored: " + Shown(text));
    }
  }

  void CommandSplit(const LaunchText& command) override {
    if (oldRoute_) Line(u"The command names an .exe and is used lower-cased: " + command);
  }

  void LookupEnded(LookupEnd end, LONG error, const LaunchText& detail) override {
    if (end == LookupEnd::kFailure) Line(u"The lookup stopped at a registry failure: " + detail);
    why_ = WhyItEnded(end, error, detail);
  }

  // Why BrowserExe stayed "": where the lookup ended.
  const LaunchText& WhyNoBrowser() const { return why_; }

 private:
  void Line(const LaunchText& text) { out_ += text + u"\r\n"; }

  LaunchText WhyItEnded(LookupEnd end, LONG error, const LaunchText& detail) const {
    switch (end) {
      case LookupEnd::kNoVersion:
        return u"the Windows version could not be read";
      case LookupEnd::kFailure:
        return u"a registry value could not be read (" + detail + u")";
      case LookupEnd::kNoChoice:
        return (error == ERROR_FILE_NOT_FOUND ? LaunchText(u"there is no UserChoice key")
                                              : u"the UserChoice key does not open for reading (" +
                                                    WindowsError(error) + u")") +
               u", and UserChoiceLatest gives no ProgId (" + latestWhy_ +
               u"): no browser is chosen for http links for this user";
      case LookupEnd::kNoCommandKey:
        return u"the key " + KeyName(HKEY_CLASSES_ROOT, detail) + u" does not exist";
      case LookupEnd::kCommandKeyReadOnly:
        return u"the key " + KeyName(HKEY_CLASSES_ROOT, detail) +
               u" does not open with full rights (" + WindowsError(error) +
               u"), as with a browser installed for all users";
      case LookupEnd::kNotAnExe:
        return u"the command does not name an .exe";
      case LookupEnd::kSplit:
        break;
    }
    if (command_.empty()) return u"the command is empty";
    return u"the command has no double quote after its first character (its executable path is "
           u"not quoted)";
  }

  // Windows guards the choice against writing; the launcher, which only reads it, is not held
  // back by that, but support should know the guard is there.
  void TellWriteGuard(const char16_t* key) {
    TRegistry probe;
    if (probe.OpenKey(key, false)) {
      probe.CloseKey();
      return;
    }
    Line(u"It does not open with full rights (" + WindowsError(probe.LastError()) +
         u"): Windows guards the user's choice against writing (the key's security, or the "
         u"UserChoice Protection Driver). The launcher only reads it, so it reads it anyway.");
  }

  // Windows answered, so the lookup read neither choice key: what they hold, and where they
  // disagree with the answer, which of them Windows goes by.
  void TellChoiceKeysBeside(const LaunchText& answer) {
    bool latestExists = false;
    bool legacyExists = false;
    const LaunchText latest = ChoiceKeyProgId(kUserChoiceLatestKey, u"ProgId", latestExists);
    const LaunchText legacy = ChoiceKeyProgId(kUserChoiceKey, u"Progid", legacyExists);
    const auto held = [](bool exists, const LaunchText& progId) {
      return exists ? Shown(progId) : LaunchText(u"(no such key)");
    };
    Line(u"UserChoiceLatest ProgId: " + held(latestExists, latest) + u"; UserChoice ProgId: " +
         held(legacyExists, legacy) + u".");
    const bool latestDiffers = latestExists && !SameNoCase(latest, answer);
    const bool legacyDiffers = legacyExists && !SameNoCase(legacy, answer);
    if (!latestDiffers && !legacyDiffers) return;
    LaunchText uses =
        u"neither key: Windows ignores a choice whose Hash does not match and opens "
        u"links with its own default";
    if (latestExists && !latestDiffers) uses = u"UserChoiceLatest";
    if (legacyExists && !legacyDiffers) uses = u"UserChoice";
    Line(LaunchText(latestDiffers && legacyDiffers ? u"Both keys differ"
                    : latestDiffers                ? u"UserChoiceLatest differs"
                                                   : u"UserChoice differs") +
         u" from Windows' answer. Windows uses " + uses +
         u"; a launcher that read the keys would have started another browser than the one "
         u"links open in.");
  }

  // The newer key gave the ProgId, so the lookup never looked at the legacy one: what it holds.
  static LaunchText WhyNotTheLegacyKey(const LaunchText& latestProgId) {
    bool legacyExists = false;
    const LaunchText legacy = ChoiceKeyProgId(kUserChoiceKey, u"Progid", legacyExists);
    LaunchText text =
        u"The ProgId comes from UserChoiceLatest, so the launcher does not read "
        u"UserChoice";
    if (!legacyExists) return text + u" (which does not exist here).";
    text += u" (its Progid here: " + Shown(legacy) + u")";
    if (!SameNoCase(legacy, latestProgId)) {
      text +=
          u". They differ: Settings writes only UserChoiceLatest, so UserChoice names a "
          u"browser this user has left";
    }
    return text + u".";
  }

  LaunchText& out_;
  bool oldRoute_ = false;
  LaunchText latestProgId_;
  LaunchText latestWhy_;  // why the newer key gave no ProgId
  LaunchText command_;
  LaunchText why_;
};

// Clipboard history and Remote Desktop's clipboard hold the clipboard open for moments at a time:
// a few tries, half a second in all, before the report gives up.
const int kClipboardTries = 10;
const DWORD kClipboardPauseMs = 50;

bool OpenClipboardSoon(HWND owner) {
  for (int attempt = 1;; ++attempt) {
    if (OpenClipboard(owner)) return true;
    if (attempt == kClipboardTries) return false;
    Sleep(kClipboardPauseMs);
  }
}

// Formats whose data is a GDI object or whatever its owner chose, not global memory: they cannot
// be copied, so they are lost in the rare case that the report's text cannot be placed.
bool IsMemoryFormat(UINT format) {
  switch (format) {
    case 2:     // CF_BITMAP (Windows makes it again from CF_DIB, which is kept)
    case 3:     // CF_METAFILEPICT: memory, but holding a metafile that emptying destroys
    case 9:     // CF_PALETTE
    case 14:    // CF_ENHMETAFILE
    case 0x80:  // CF_OWNERDISPLAY
    case 0x82:  // CF_DSPBITMAP
    case 0x83:  // CF_DSPMETAFILEPICT
    case 0x8E:  // CF_DSPENHMETAFILE
      return false;
    default:
      return format < 0x200 || format >= 0x400;  // private and GDI object ranges are not memory
  }
}

struct KeptFormat {
  UINT format;
  HGLOBAL copy;
};

void FreeKept(std::vector<KeptFormat>& kept) {
  for (const KeptFormat& one : kept) GlobalFree(one.copy);
  kept.clear();
}

// Copies of what the open clipboard holds in memory formats, so that it can be put back as it was
// if the report's text cannot be placed once the clipboard is emptied. False when a copy cannot
// be made: then the clipboard is not touched at all.
bool KeepWhatItHolds(std::vector<KeptFormat>& kept) {
  for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
    if (!IsMemoryFormat(format)) continue;
    // A format its owner could not render, or whose data is no memory after all, is not kept.
    const HANDLE held = GetClipboardData(format);
    const SIZE_T bytes = held != nullptr ? GlobalSize(held) : 0;
    const void* from = bytes != 0 ? GlobalLock(held) : nullptr;
    if (from == nullptr) continue;
    const HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, bytes);
    void* to = copy != nullptr ? GlobalLock(copy) : nullptr;
    if (to != nullptr) std::memcpy(to, from, bytes);
    if (copy != nullptr) GlobalUnlock(copy);
    GlobalUnlock(held);
    if (to == nullptr) {  // no memory for the copy: better to leave the clipboard untouched
      if (copy != nullptr) GlobalFree(copy);
      FreeKept(kept);
      return false;
    }
    kept.push_back(KeptFormat{format, copy});
  }
  return true;
}

// Puts the kept formats back on the emptied clipboard; what the clipboard takes is its own.
void PutBack(std::vector<KeptFormat>& kept) {
  for (KeptFormat& one : kept) {
    if (SetClipboardData(one.format, one.copy) != nullptr) one.copy = nullptr;
  }
  FreeKept(kept);
}

}  // namespace

bool CopyToClipboard(const LaunchText& text) {
  const SIZE_T bytes = (text.size() + 1) * sizeof(char16_t);
  const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (memory == nullptr) return false;
  void* units = GlobalLock(memory);
  if (units == nullptr) {
    GlobalFree(memory);
    return false;
  }
  std::memcpy(units, text.c_str(), bytes);
  GlobalUnlock(memory);
  const HWND owner = CreateWindowExW(0, Wide(u"STATIC"), Wide(u""), 0, 0, 0, 0, 0, HWND_MESSAGE,
                                     nullptr, nullptr, nullptr);
  bool placed = false;
  if (owner != nullptr && OpenClipboardSoon(owner)) {
    std::vector<KeptFormat> kept;
    if (KeepWhatItHolds(kept) && EmptyClipboard()) {
      placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
      if (!placed) PutBack(kept);
    }
    FreeKept(kept);
    CloseClipboard();
  }
  if (owner != nullptr) DestroyWindow(owner);
  if (!placed) GlobalFree(memory);  // once placed, the clipboard owns it
  return placed;
}

bool WaitsForEnter(bool outputIsConsole, DWORD consoleProcesses, bool cursorAtOrigin) {
  if (!outputIsConsole) return false;
  if (consoleProcesses != 0) return consoleProcesses == 1;
  return cursorAtOrigin;
}

namespace {

// Whether this process may open keys for all users with full rights, which a player's own start
// usually may not: run elevated, or as an administrator where UAC is off or absent.
bool MayWriteKeysForAllUsers() {
  TRegistry registry;
  registry.SetRootKey(HKEY_LOCAL_MACHINE);
  const bool opened = registry.OpenKey(u"Software\\Classes", false);
  registry.CloseKey();
  return opened;
}

LaunchText WithoutQuotes(LaunchText path) {
  if (!path.empty() && path.back() == u'"') path.pop_back();
  if (!path.empty() && path.front() == u'"') path.erase(0, 1);
  return path;
}

LaunchText Joined(const std::vector<LaunchText>& items) {
  LaunchText text;
  for (const LaunchText& item : items) text += (text.empty() ? u"" : u", ") + item;
  return text;
}

// The report, step by step, as the launcher runs: where it runs, the lookup, the arguments, the
// watch, the follow-ups, and the verdict.
class Report {
 public:
  LaunchText Text() const { return out_; }

  void WhereItRuns(const RealWindowsVersion& real) {
    LaunchUrl = kLandingPageUrl;
    Line(u"Landing page: " + LaunchUrl);
    Line(real.known ? u"Windows version: " + Decimal(real.major) + u"." + Decimal(real.minor) +
                          u" build " + Decimal(real.build) +
                          u" (Windows 11 24H2 is 10.0 build 26100, 25H2 build 26200)."
                    : LaunchText(u"Windows version: not known (RtlGetVersion is not there)."));
    Line(MayWriteKeysForAllUsers()
             ? LaunchText(
                   u"Rights: this report runs elevated or as an administrator: keys for all users "
                   u"(HKEY_LOCAL_MACHINE) open with full rights here. A player who starts the "
                   u"launcher normally usually has no such rights: for a browser installed for "
                   u"all users the launcher then hands the address to the shell and does not "
                   u"wait, even where the verdict below says it waits. Run the report without "
                   u"administrator rights to see the player's verdict.")
             : LaunchText(u"Rights: standard; keys for all users do not open with full rights, "
                          u"as when a player starts the launcher."));
  }

  void Lookup() {
    FindDefaultBrowser(narrator_);
    Line(u"BrowserExe after the split: " + Shown(BrowserExe));
    Line(u"BrowserArgs after the split: " + Shown(BrowserArgs));
  }

  // The shell's own open command for http beside the one the launcher read: on every machine
  // where a player runs the report, a check that both lead to one program.
  void ShellCommand() {
    const ShellAnswer shell = AskShellAboutHttp(kAssocCommand);
    if (!shell.Answered()) {
      Line(u"The shell's command for http links: no answer (" +
           Hex(static_cast<DWORD>(shell.code)) + u").");
      return;
    }
    Line(u"The shell's command for http links: " + shell.text);
    // BrowserExe is what the launcher starts, from the command it read.
    const LaunchText read = WithoutQuotes(BrowserExe);
    if (read.empty()) {
      Line(u"The launcher starts no program of its own (BrowserExe is empty) to compare it with.");
    } else if (SameNoCase(ProgramOf(shell.text), read)) {
      Line(u"It names the same program as the command the launcher read.");
    } else {
      Line(u"It names another program (" + ProgramOf(shell.text) +
           u") than the command the launcher read (" + read + u").");
    }
  }

  void Arguments() {
    FillAddressIntoArguments();
    Line(u"BrowserArgs with the address: " + Shown(BrowserArgs));
  }

  // The image name the wait would follow, and which processes carry it now: the player's, which
  // keep the wait going, and apart those of other sessions, which do not.
  void Watch() {
    if (TextEquals(BrowserExe, u"")) return;
    watched_ = WatchedImageNameFor(BrowserExe);
    Line(u"Watched image name: " + Shown(watched_) +
         u" (the wait goes on while any process's image name contains it)");
    std::vector<LaunchText> counted;
    std::vector<LaunchText> elsewhere;
    for (const MatchingProcess& process : RunningProcessesMatching(watched_)) {
      if (process.counts) {
        counted.push_back(process.image);
      } else {
        elsewhere.push_back(process.image + u" (session " + Decimal(process.session) + u")");
      }
    }
    Line(counted.empty() ? LaunchText(u"Running now: none.")
                         : u"Running now: " + Joined(counted) +
                               u". A browser that is already open keeps the wait going until it "
                               u"is closed too.");
    if (!elsewhere.empty()) {
      Line(u"Running in other sessions, not counted: " + Joined(elsewhere) +
           u". These belong to another sign-in on this PC, Remote Desktop, or a service; only "
           u"the processes of the player's own session keep the wait going.");
    }
  }

  void FollowUps() {
    for (const char16_t* item : {kGameShortcut, kGameInternetShortcut, kCompanion}) {
      Line(u"Follow-up " + LaunchText(item) +
           (IsExistingFile(item) ? u": exists." : u": not found in this folder (as a file)."));
    }
    const std::vector<LaunchText> opens = FollowUpsToOpen();
    Line(u"Opens afterwards, in this order: " + (opens.empty() ? u"nothing" : Joined(opens)) +
         u".");
  }

  void Verdict() {
    if (TextEquals(BrowserExe, u"")) {
      Line(u"Verdict: hands the address to the shell and does not wait, because " +
           narrator_.WhyNoBrowser() + u".");
    } else if (!IsExistingFile(WithoutQuotes(BrowserExe))) {
      Line(u"Verdict: tries to start " + BrowserExe +
           u", which is not an existing file; when that start fails, the address is not opened "
           u"and the launcher does not wait.");
    } else if (watched_.empty()) {
      Line(u"Verdict: starts " + BrowserExe +
           u" and goes on after the first check, a second later: the watched name is empty.");
    } else {
      Line(u"Verdict: starts " + BrowserExe + u" and waits until no " + watched_ + u" is running.");
    }
  }

 private:
  void Line(const LaunchText& text) { out_ += text + u"\r\n"; }

  LaunchText out_;
  LookupNarrator narrator_{out_};
  LaunchText watched_;
};

}  // namespace

LaunchText LauncherReport(const RealWindowsVersion& real) {
  Report report;
  report.WhereItRuns(real);
  report.Lookup();
  report.ShellCommand();
  report.Arguments();
  report.Watch();
  report.FollowUps();
  report.Verdict();
  return report.Text();
}
