// launcher-report.exe: a console program for support, run from the game folder. It prints what the
// launcher would do here and starts, writes and changes nothing. Exit code 0 once the report is
// out, 1 when standard output would not take it.
#include <vector>

#include "launcher/report.h"
#include "platform/services.h"
#include "platform/text.h"
#include "platform/win32_api.h"

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

}  // namespace

int wmain() {
  RestrictDllSearchToSystem();
  const LaunchText report =
      u"What the launcher would do in " + CurrentFolder() + u"\r\n" + LauncherReport();
  return WriteToStandardOutput(report) ? 0 : 1;
}
