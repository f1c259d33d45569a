// The Windows entry. The launcher reads no command line: the entry only hands over.
#include "launcher/launcher.h"
#include "platform/win32_api.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  LauncherMain();
}
