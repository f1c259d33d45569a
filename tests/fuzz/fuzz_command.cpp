// Arbitrary open commands through the whole launcher over the fake Windows, on both registry
// routes: the lookup, the split, the address substitution and the watched-name derivation. The
// input is read as UTF-8 (a stray byte becomes the unit of the same value).
#include <cstdint>
#include <cstdlib>

#include "launcher/browser_lookup.h"
#include "launcher/launch_state.h"
#include "launcher/launcher.h"
#include "platform/services.h"
#include "platform/text.h"
#include "tests/fake_windows/fake_windows.h"
#include "watch/browser_watch.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

LaunchText DecodeUtf8(const std::uint8_t* data, std::size_t size) {
  LaunchText out;
  for (std::size_t i = 0; i < size;) {
    const std::uint8_t b = data[i];
    const int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    bool valid = extra > 0 && i + static_cast<std::size_t>(extra) < size;
    for (int k = 1; valid && k <= extra; ++k) valid = (data[i + k] & 0xC0) == 0x80;
    if (!valid) {
      out += static_cast<char16_t>(b);
      ++i;
      continue;
    }
    unsigned long c = b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) c = (c << 6) | (data[i + k] & 0x3F);
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

const LaunchText kUserChoice =
    u"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoice";

int Occurrences(const LaunchText& needle, const LaunchText& hay) {
  int n = 0;
  for (int at = TextPos(needle, hay); at > 0;
       at = TextPosFrom(needle, hay, at + static_cast<int>(needle.size())))
    ++n;
  return n;
}

void RunOnRoute(const LaunchText& command, DWORD major, fake::Time browserLife) {
  fake::Reset();
  ForgetProcessBindings();
  fake::Machine& m = fake::M();
  m.majorVersion = major;
  m.SetText(HKEY_CURRENT_USER, kUserChoice, u"Progid", u"FuzzURL");
  m.SetText(HKEY_CLASSES_ROOT, u"FuzzURL\\shell\\open\\command", u"", command);
  m.SetText(HKEY_CLASSES_ROOT, u"http\\shell\\open\\command", u"", command);
  m.AddFile(u"play.lnk");

  // What the lookup reads: the value up to its first zero unit.
  const LaunchText stored = command.substr(0, command.find(u'\0'));
  const LaunchText read = major >= 6 ? stored : FoldLowerSystem(stored);
  LaunchUrl = BrowserExe = BrowserArgs = u"";
  FindDefaultBrowser();
  if (major < 6 && TextPos(u".exe", read) == 0) {
    Check(BrowserExe.empty() && BrowserArgs.empty());
  } else {
    Check(BrowserExe + BrowserArgs == read);
    Check(BrowserExe.empty() || BrowserExe.back() == u'"');
  }
  const LaunchText exe = BrowserExe, args = BrowserArgs;

  const LaunchText watched = WatchedImageNameOf(exe);
  Check(watched.size() <= exe.size());
  Check(watched.empty() || exe.find(watched) != LaunchText::npos);

  fake::StartBehaviour start;
  start.image = watched.empty() ? u"x.exe" : watched;
  start.lifetime = browserLife;
  m.onStart[exe] = start;
  LaunchUrl = BrowserExe = BrowserArgs = u"";
  QuitRequested = false;
  try {
    LauncherMain();
  } catch (const fake::ProcessExit& exit) {
    Check(exit.code == 0);
  }
  const LaunchText url = kLandingPageUrl;
  Check(!m.shellCalls.empty());
  const fake::ShellCall& first = m.shellCalls.front();
  if (exe.empty()) {
    Check(first.api == "ShellExecuteW" && first.file == url);
  } else {
    Check(first.api == "ShellExecuteExW" && first.file == exe);
    // Every placeholder went, and each left the address in its place.
    Check(TextPos(u"%1", first.params) == 0);
    Check(Occurrences(url, first.params) >= std::max(1, Occurrences(u"%1", args)));
  }
  Check(m.shellCalls.back().file == u"play.lnk");
  Check(m.now <= browserLife + 1000);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 70000) return 0;
  const LaunchText command = DecodeUtf8(data, size);
  const fake::Time life = size == 0 ? 0 : (data[0] % 8) * 700;
  RunOnRoute(command, 6, life);
  RunOnRoute(command, 5, life);
  return 0;
}
