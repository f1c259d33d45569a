// The yardstick for the launcher's start-up: a program that only starts the given executable with
// ShellExecuteExW and exits.
#include <windows.h>

#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpFile = commandLine;
  info.nShow = SW_SHOWNORMAL;
  ShellExecuteExW(&info);
  ExitProcess(0);
}
