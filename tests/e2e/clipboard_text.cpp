// Prints the clipboard's Unicode text as UTF-8, exactly; exit code 1 when it holds none. For the
// report's console scenario (tests/e2e/report-console).
#include <windows.h>

#include <string>

#include "tests/wine/test_files.h"

int wmain() {
  if (!OpenClipboard(nullptr)) return 1;
  std::string text;
  bool found = false;
  if (const HANDLE memory = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* units = static_cast<const wchar_t*>(GlobalLock(memory))) {
      text = Utf8(units);
      found = true;
      GlobalUnlock(memory);
    }
  }
  CloseClipboard();
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written,
            nullptr);
  return found ? 0 : 1;
}
