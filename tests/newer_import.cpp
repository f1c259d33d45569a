// A program that the import check must refuse, whichever toolchain builds it: it imports
// GetTickCount64, which came with Windows Vista.
#include <windows.h>

int main() {
  return static_cast<int>(GetTickCount64() & 1);
}
