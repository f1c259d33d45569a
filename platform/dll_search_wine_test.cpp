// Restricting the DLL search to the system folder, under Wine. A program of its own: the
// restriction holds for the rest of the process.
#include <gtest/gtest.h>

#include "platform/services.h"
#include "tests/wine/test_files.h"

namespace {

TEST(DllSearchOnWindows, PlantedDllIsNoLongerLoadedFromTheProgramOrCurrentFolder) {
  ScratchDir game(L"dll-search");
  ASSERT_TRUE(CopyFileW((ProgramFolder() + L"\\wgame_planted.dll").c_str(),
                        (game / L"wgame_planted_cwd.dll").c_str(), FALSE));

  // Found beside the program and in the current folder by the usual search...
  HMODULE beside = LoadLibraryW(L"wgame_planted.dll");
  ASSERT_NE(beside, nullptr);
  FreeLibrary(beside);
  HMODULE current = LoadLibraryW(L"wgame_planted_cwd.dll");
  ASSERT_NE(current, nullptr);
  FreeLibrary(current);

  // ... and in neither place once the search is restricted.
  RestrictDllSearchToSystem();
  EXPECT_EQ(LoadLibraryW(L"wgame_planted.dll"), nullptr);
  EXPECT_EQ(LoadLibraryW(L"wgame_planted_cwd.dll"), nullptr);
  EXPECT_NE(LoadLibraryW(L"shell32.dll"), nullptr) << "system DLLs still load";
}

}  // namespace
