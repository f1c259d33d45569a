// The registry accessor against the real registry, under Wine, below a private test key.
#include "platform/registry.h"

#include <gtest/gtest.h>

#include "tests/wine/registry_support.h"

#include <cstring>
#include <vector>

namespace {

class RegistryOnWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key_, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    RegCloseKey(key_);
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
  }

  // Stores exactly `bytes` bytes of `data`. The buffer passed on holds a non-zero unit after them,
  // so Windows has no terminator to add on its own.
  void Store(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    std::vector<BYTE> buffer(bytes + 4, 0xAA);
    std::memcpy(buffer.data(), data, bytes);
    ASSERT_EQ(RegSetValueExW(key_, name, 0, type, buffer.data(), bytes), ERROR_SUCCESS);
    DWORD stored = 0;
    ASSERT_EQ(RegQueryValueExW(key_, name, nullptr, nullptr, nullptr, &stored), ERROR_SUCCESS);
    ASSERT_EQ(stored, bytes) << "stored as given";
  }

  static constexpr const wchar_t* kTestKey = L"Software\\WgameLauncherTests\\Registry";
  const LaunchText kTestPath = u"Software\\WgameLauncherTests\\Registry";
  HKEY key_ = nullptr;
};

TEST_F(RegistryOnWindows, ReadOnlyKeyExistsDoesNotOpenWithFullRightsButOpensForReading) {
  HKEY readOnly = nullptr;
  ASSERT_EQ(RegCreateKeyExW(key_, L"ReadOnly", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &readOnly,
                            nullptr),
            ERROR_SUCCESS);
  const wchar_t progId[] = L"MSEdgeHTM";
  ASSERT_EQ(RegSetValueExW(readOnly, L"ProgId", 0, REG_SZ, reinterpret_cast<const BYTE*>(progId),
                           sizeof progId),
            ERROR_SUCCESS);
  RegCloseKey(readOnly);
  ASSERT_TRUE(RestrictKeyToRead(HKEY_CURRENT_USER, std::wstring(kTestKey) + L"\\ReadOnly"));

  TRegistry registry;
  ASSERT_TRUE(registry.OpenKey(kTestPath, false));
  const HKEY open = registry.CurrentKey();
  EXPECT_TRUE(registry.KeyExists(u"ReadOnly"));
  EXPECT_FALSE(registry.OpenKey(u"ReadOnly", false));
  EXPECT_EQ(registry.LastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(registry.CurrentKey(), open);
  EXPECT_EQ(registry.CurrentPath(), LaunchText(u"Software\\WgameLauncherTests\\Registry"));

  // Opened for reading only, the same key opens, becomes the open key, and its values read.
  ASSERT_TRUE(registry.OpenKeyReadOnly(u"ReadOnly"));
  EXPECT_NE(registry.CurrentKey(), open);
  EXPECT_EQ(registry.CurrentPath(),
            LaunchText(u"Software\\WgameLauncherTests\\Registry\\ReadOnly"));
  EXPECT_EQ(registry.ReadString(u"ProgId"), LaunchText(u"MSEdgeHTM"));
  registry.CloseKey();
  EXPECT_FALSE(registry.OpenKeyReadOnly(kTestPath + u"\\Missing"));
  EXPECT_EQ(registry.LastError(), ERROR_FILE_NOT_FOUND);

  EXPECT_TRUE(LiftKeyRestriction(HKEY_CURRENT_USER, std::wstring(kTestKey) + L"\\ReadOnly"));
}

TEST_F(RegistryOnWindows, StoredByteCountsAndTypes) {
  Store(L"three", REG_SZ, L"abc", 6);
  Store(L"odd", REG_SZ, L"abcd", 7);
  Store(L"one", REG_SZ, L"a", 1);
  Store(L"zero", REG_SZ, L"", 0);
  Store(L"expand", REG_EXPAND_SZ, L"%SystemRoot%\\x", 30);
  Store(nullptr, REG_SZ, L"default", 16);
  const DWORD number = 7;
  Store(L"dword", REG_DWORD, &number, 4);
  Store(L"binary", REG_BINARY, "\x01\x02", 2);
  Store(L"multi", REG_MULTI_SZ, L"a\0b\0", 10);

  TRegistry registry;
  ASSERT_TRUE(registry.OpenKey(kTestPath, false));
  EXPECT_EQ(registry.ReadString(u"three"), u"abc");
  EXPECT_EQ(registry.ReadString(u"odd"), u"abc");
  EXPECT_EQ(registry.ReadString(u"one"), u"");
  EXPECT_EQ(registry.ReadString(u"zero"), u"");
  EXPECT_EQ(registry.ReadString(u"missing"), u"");
  EXPECT_EQ(registry.ReadString(u"expand"), u"%SystemRoot%\\x");
  EXPECT_EQ(registry.ReadString(u""), u"default");
  for (const char16_t* name : {u"dword", u"binary", u"multi"}) {
    try {
      registry.ReadString(name);
      ADD_FAILURE() << "read as text";
    } catch (const ERegistryException& e) {
      EXPECT_EQ(e.Message(), u"Invalid data type for '" + LaunchText(name) + u"'");
    }
  }
}

// The fake's answers to size queries and short buffers come from here.
TEST_F(RegistryOnWindows, QueryFactsTheFakeMirrors) {
  Store(L"v", REG_SZ, L"abcdef", 12);
  DWORD size = 99;
  EXPECT_EQ(RegQueryValueExW(key_, L"missing", nullptr, nullptr, nullptr, &size),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(size, 0u);
  BYTE small[4] = {1, 2, 3, 4};
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExW(key_, L"v", nullptr, nullptr, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 12u);
  HKEY none = nullptr;
  HKEY result = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"\\Software", 0, KEY_READ, &result),
            ERROR_BAD_PATHNAME);
  EXPECT_EQ(result, nullptr);
  EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"\\http", 0, KEY_READ, &none), ERROR_SUCCESS);
  RegCloseKey(none);
}

TEST_F(RegistryOnWindows, AbsoluteAndRelativeNames) {
  HKEY child = nullptr;
  ASSERT_EQ(RegCreateKeyExW(key_, L"A\\B", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(child);
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKey(kTestPath, false));
  ASSERT_TRUE(registry.OpenKey(u"A", false));
  ASSERT_TRUE(registry.OpenKey(u"B", false));
  EXPECT_EQ(registry.CurrentPath(), LaunchText(u"Software\\WgameLauncherTests\\Registry\\A\\B"));
  EXPECT_TRUE(registry.KeyExists(u"\\Software\\WgameLauncherTests\\Registry\\A"));
  EXPECT_FALSE(registry.KeyExists(u"A"));
  EXPECT_TRUE(registry.KeyExists(u""));
  ASSERT_TRUE(registry.OpenKey(u"\\Software\\WgameLauncherTests\\Registry", false));
  EXPECT_EQ(registry.CurrentPath(), LaunchText(u"Software\\WgameLauncherTests\\Registry"));
  registry.CloseKey();
}

}  // namespace
