// launcher-report.exe: a console program for support, run from the game folder. It prints what the
// launcher would do here and starts, writes and changes nothing. Exit code 0 once the report is
// out, 1 when standard output would not take it.
#include <vector>

#include "platform/services.h"
#include "platform/text.h"
#include "platform/win32_api.h"
#include "report/report.h"

namespace {

// To a console as UTF-16, so that every name shows as it is; to a file or a pipe as UTF-8.
bool WriteToStandardOutput(const LaunchText& text) {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return false;
  DWORD mode = 0;
  DWORD written = 0;
  if (GetFileType(out) == FILE_TYPE_CHAR && GetConsoleMode(out, &mode)) {
    return WriteConsoleW(out, Wide(text), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
  }
  const std::vector<char> bytes = EncodeUtf8(text);
  const DWORD size = static_cast<DWORD>(bytes.size() - 1);  // without the terminating zero
  return WriteFile(out, bytes.data(), size, &written, nullptr) && written == size;
}

LaunchText CurrentFolder() {
  WCHAR folder[MAX_PATH + 1] = {};
  const DWORD length = GetCurrentDirectoryW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) return u"(unknown)";
  return TextUpToZero(folder, length);
}

// The folder of this program's own file, without a trailing backslash; "" when unknown.
LaunchText ProgramFolder() {
  WCHAR path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return u"";
  LaunchText folder = TextUpToZero(path, length);
  const std::size_t slash = folder.rfind(u'\\');
  if (slash == LaunchText::npos) return u"";
  folder.erase(slash);
  if (folder.size() == 2 && folder[1] == u':') folder += u'\\';  // a drive's root keeps its slash
  return folder;
}

// A function of a system DLL the report may find loaded, or null.
template <typename Fn>
Fn BindIfLoaded(const char16_t* module, const char* name) {
  const HMODULE handle = GetModuleHandleW(Wide(module));
  return handle != nullptr ? BindByName<Fn>(handle, name) : nullptr;
}

// Bound by name: ntdll exports RtlGetVersion from Windows XP on, and it does not lie about the
// version the way GetVersionExW does for a program without a compatibility manifest.
RealWindowsVersion QueryRealVersion() {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  RealWindowsVersion real;
  const auto rtlGetVersion = BindIfLoaded<RtlGetVersionFn>(u"ntdll.dll", "RtlGetVersion");
  if (rtlGetVersion == nullptr) return real;
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof info;
  if (rtlGetVersion(&info) != 0) return real;
  real.known = true;
  real.major = info.dwMajorVersion;
  real.minor = info.dwMinorVersion;
  real.build = info.dwBuildNumber;
  return real;
}

// Measured before anything is written: a console made for this program alone still has its cursor
// at the top-left corner. GetConsoleProcessList (XP and later, bound by name) answers more surely.
bool ShouldWaitForEnter() {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  const bool console = out != nullptr && out != INVALID_HANDLE_VALUE &&
                       GetFileType(out) == FILE_TYPE_CHAR && GetConsoleMode(out, &mode);
  if (!console) return false;
  CONSOLE_SCREEN_BUFFER_INFO screen = {};
  const bool atOrigin = GetConsoleScreenBufferInfo(out, &screen) &&
                        screen.dwCursorPosition.X == 0 && screen.dwCursorPosition.Y == 0;
  using GetConsoleProcessListFn = DWORD(WINAPI*)(LPDWORD, DWORD);
  const auto processList =
      BindIfLoaded<GetConsoleProcessListFn>(u"kernel32.dll", "GetConsoleProcessList");
  DWORD ids[4] = {};
  const DWORD processes = processList != nullptr ? processList(ids, 4) : 0;
  return WaitsForEnter(true, processes, atOrigin);
}

// What is typed up to Enter; returns at once, with "", when there is no console input to read.
LaunchText ReadLineTyped() {
  const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  LaunchText line;
  if (in == nullptr || in == INVALID_HANDLE_VALUE) return line;
  FlushConsoleInputBuffer(in);
  WCHAR typed[64];
  DWORD read = 0;
  while (ReadConsoleW(in, typed, 64, &read, nullptr) && read > 0) {
    for (DWORD i = 0; i < read && i < 64; ++i) {
      if (typed[i] == u'\r' || typed[i] == u'\n') return line;
      if (line.size() < 64) line += static_cast<char16_t>(typed[i]);
    }
  }
  return line;
}

// In a console of its own, the report offers itself for pasting into a message to support, and
// stays until it is closed. The clipboard changes only when the player asks for it.
void HandOver(const LaunchText& report) {
  WriteToStandardOutput(
      u"Press C and then Enter to copy this report to the clipboard, to paste it (Ctrl+V) into "
      u"your e-mail or message to support; press Enter alone to close this window.\r\n");
  const LaunchText typed = ReadLineTyped();
  const std::size_t first = typed.find_first_not_of(u" \t");
  if (first == LaunchText::npos || (typed[first] != u'c' && typed[first] != u'C')) return;
  WriteToStandardOutput(
      CopyToClipboard(report)
          ? LaunchText(u"The report is on the clipboard: paste it (Ctrl+V) into your e-mail or "
                       u"message to support. Press Enter to close this window.\r\n")
          : LaunchText(u"The clipboard could not be had (another program may hold it): copy the "
                       u"report with the mouse instead. Press Enter to close this window.\r\n"));
  ReadLineTyped();
}

}  // namespace

int wmain() {
  RestrictDllSearchToSystem();
  const bool waitForEnter = ShouldWaitForEnter();
  const LaunchText current = CurrentFolder();
  LaunchText report = u"What the launcher would do in " + current + u"\r\n";
  const LaunchText own = ProgramFolder();
  if (!own.empty() && !TextEquals(FoldLowerAscii(own), FoldLowerAscii(current))) {
    report += u"This report is in " + own +
              u", not in that folder. The launcher looks for its follow-up items in its current "
              u"folder (for a shortcut, its \"Start in\"), not beside its own file.\r\n";
  }
  report += LauncherReport(QueryRealVersion());
  const bool written = WriteToStandardOutput(report);
  if (waitForEnter) HandOver(report);
  return written ? 0 : 1;
}
