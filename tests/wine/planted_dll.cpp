// A DLL planted where the launcher must not load DLLs from: beside it and in the game folder.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
  return TRUE;
}
