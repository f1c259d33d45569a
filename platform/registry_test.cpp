#include "platform/registry.h"

#include "tests/fake_windows/fake_test.h"

namespace {

class RegistryTest : public FakeWindowsTest {
 protected:
  // Reads `bytes` stored as `type` through a fresh accessor.
  LaunchText Read(DWORD type, std::vector<BYTE> bytes) {
    machine.SetValue(HKEY_CURRENT_USER, u"Test", u"v", type, std::move(bytes));
    TRegistry registry;
    EXPECT_TRUE(registry.OpenKey(u"Test", false));
    return registry.ReadString(u"v");
  }

  static std::vector<BYTE> Bytes(const LaunchText& units) { return fake::Utf16Bytes(units, false); }
};

TEST_F(RegistryTest, CreationDefaults) {
  TRegistry registry;
  EXPECT_EQ(registry.RootKey(), HKEY_CURRENT_USER);
  EXPECT_EQ(registry.CurrentKey(), nullptr);
  EXPECT_EQ(registry.CurrentPath(), u"");
  EXPECT_EQ(registry.Access(), static_cast<DWORD>(KEY_ALL_ACCESS));
  EXPECT_TRUE(registry.LazyWrite());
  EXPECT_EQ(registry.LastError(), 0);
}

TEST_F(RegistryTest, ReadableButNotWritableKeyExistsAndDoesNotOpen) {
  machine.Key(HKEY_CURRENT_USER, u"Open");
  machine.Key(HKEY_CURRENT_USER, u"Open\\ReadOnly").granted = KEY_READ;
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKey(u"Open", false));
  const HKEY open = registry.CurrentKey();

  EXPECT_TRUE(registry.KeyExists(u"ReadOnly"));
  EXPECT_EQ(machine.regOpens.back().desired, 0x00020009u) << "probed with read rights only";
  EXPECT_EQ(registry.LastError(), 0) << "KeyExists stores no error";
  EXPECT_FALSE(registry.OpenKey(u"ReadOnly", false));
  EXPECT_EQ(machine.regOpens.back().desired, static_cast<DWORD>(KEY_ALL_ACCESS));
  EXPECT_EQ(registry.LastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(registry.CurrentKey(), open) << "a failed open changes nothing else";
  EXPECT_EQ(registry.CurrentPath(), u"Open");
  EXPECT_EQ(machine.OpenRegistryHandles(), 1u);
}

TEST_F(RegistryTest, KeyExistsKeepsTheViewBitsOfTheAccessMaskAndNothingElse) {
  machine.Key(HKEY_CURRENT_USER, u"K");
  TRegistry registry;
  registry.SetAccess(KEY_ALL_ACCESS | KEY_WOW64_32KEY);
  EXPECT_TRUE(registry.KeyExists(u"K"));
  EXPECT_EQ(machine.regOpens.back().desired, 0x00020209u);
  EXPECT_EQ(registry.Access(), static_cast<DWORD>(KEY_ALL_ACCESS | KEY_WOW64_32KEY));
  EXPECT_EQ(machine.OpenRegistryHandles(), 0u) << "the probe's handle is closed";
  EXPECT_FALSE(registry.KeyExists(u"Missing"));
}

TEST_F(RegistryTest, EmptyNameExistsWheneverTheBaseCanBeRead) {
  TRegistry registry;
  EXPECT_TRUE(registry.KeyExists(u""));
  machine.Key(HKEY_CURRENT_USER, u"B");
  ASSERT_TRUE(registry.OpenKey(u"B", false));
  machine.Key(HKEY_CURRENT_USER, u"B").granted = 0;  // rights taken away while it is open
  EXPECT_FALSE(registry.KeyExists(u""));
}

TEST_F(RegistryTest, NameResolution) {
  machine.Key(HKEY_CURRENT_USER, u"A\\B");
  machine.Key(HKEY_CURRENT_USER, u"B");
  machine.Key(HKEY_CLASSES_ROOT, u"shell\\open\\command");
  TRegistry registry;

  ASSERT_TRUE(registry.OpenKey(u"A", false));
  const HKEY a = registry.CurrentKey();
  ASSERT_TRUE(registry.OpenKey(u"B", false)) << "relative to the open key";
  EXPECT_EQ(registry.CurrentPath(), u"A\\B");
  EXPECT_EQ(machine.openKeys.count(a), 0u) << "the handle of A was closed";
  EXPECT_EQ(machine.OpenRegistryHandles(), 1u);

  ASSERT_TRUE(registry.OpenKey(u"\\B", false)) << "one backslash: below the root";
  EXPECT_EQ(machine.regOpens.back().subKey, u"B");
  EXPECT_EQ(registry.CurrentPath(), u"B");
  EXPECT_TRUE(registry.KeyExists(u"\\A\\B")) << "absolute, whatever key is open";
  EXPECT_FALSE(registry.KeyExists(u"A\\B")) << "relative to B, where there is no A";

  // Two backslashes lose only the first; what is left is refused below HKEY_CURRENT_USER...
  EXPECT_FALSE(registry.OpenKey(u"\\\\A", false));
  EXPECT_EQ(machine.regOpens.back().subKey, u"\\A");
  EXPECT_EQ(registry.LastError(), ERROR_BAD_PATHNAME);
  // ... and taken below HKEY_CLASSES_ROOT, which accepts a leading backslash.
  registry.SetRootKey(HKEY_CLASSES_ROOT);
  EXPECT_TRUE(registry.OpenKey(u"\\\\shell\\open\\command", false));
  EXPECT_EQ(registry.CurrentPath(), u"\\shell\\open\\command");
}

TEST_F(RegistryTest, SettingTheSameRootKeepsTheOpenKeyAnotherClosesIt) {
  machine.Key(HKEY_CURRENT_USER, u"A");
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKey(u"A", false));
  registry.SetRootKey(HKEY_CURRENT_USER);
  EXPECT_NE(registry.CurrentKey(), nullptr);
  EXPECT_EQ(registry.CurrentPath(), u"A");
  registry.SetRootKey(HKEY_CLASSES_ROOT);
  EXPECT_EQ(registry.CurrentKey(), nullptr);
  EXPECT_EQ(registry.CurrentPath(), u"");
  EXPECT_EQ(registry.RootKey(), HKEY_CLASSES_ROOT);
  EXPECT_EQ(machine.OpenRegistryHandles(), 0u);
}

TEST_F(RegistryTest, CloseKeyFlushesOnlyWithoutLazyWrite) {
  machine.Key(HKEY_CURRENT_USER, u"A");
  TRegistry registry;
  registry.CloseKey();  // nothing open: nothing happens
  ASSERT_TRUE(registry.OpenKey(u"A", false));
  registry.CloseKey();
  EXPECT_EQ(machine.regFlushes, 0);
  registry.SetLazyWrite(false);
  ASSERT_TRUE(registry.OpenKey(u"A", false));
  registry.CloseKey();
  EXPECT_EQ(machine.regFlushes, 1);
  EXPECT_EQ(machine.OpenRegistryHandles(), 0u);
}

TEST_F(RegistryTest, ReadStringSizeRules) {
  struct Row {
    const char* why;
    DWORD type;
    std::vector<BYTE> bytes;
    LaunchText expected;
  } rows[] = {
      {"terminated", REG_SZ, Bytes(LaunchText(u"abc\0", 4)), u"abc"},
      {"three letters without terminator", REG_SZ, Bytes(u"abc"), u"abc"},
      {"7 bytes: the odd byte gives no unit", REG_SZ, {'a', 0, 'b', 0, 'c', 0, 'd'}, u"abc"},
      {"1 byte", REG_SZ, {'a'}, u""},
      {"0 bytes", REG_SZ, {}, u""},
      {"up to the first zero", REG_SZ, Bytes(LaunchText(u"ab\0cd", 5)), u"ab"},
      {"expandable, not expanded", REG_EXPAND_SZ, Bytes(LaunchText(u"%ProgramFiles%\\b\0", 17)),
       u"%ProgramFiles%\\b"},
      {"non-text type with no data", REG_DWORD, {}, u""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Read(row.type, row.bytes), row.expected) << row.why;
  }
}

TEST_F(RegistryTest, ReadStringOfNothingIsEmpty) {
  machine.Key(HKEY_CURRENT_USER, u"A");
  TRegistry registry;
  EXPECT_EQ(registry.ReadString(u"v"), u"") << "no key open";
  EXPECT_EQ(registry.LastError(), ERROR_INVALID_HANDLE);
  ASSERT_TRUE(registry.OpenKey(u"A", false));
  EXPECT_EQ(registry.ReadString(u"missing"), u"");
  EXPECT_EQ(registry.LastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(registry.ReadString(u""), u"") << "no default value set";
}

TEST_F(RegistryTest, NonTextTypesRaiseWithTheValueName) {
  for (DWORD type : {REG_DWORD, REG_BINARY, REG_MULTI_SZ, REG_NONE}) {
    try {
      Read(type, {1, 0, 0, 0});
      ADD_FAILURE() << "type " << type << " was read as text";
    } catch (const ERegistryException& e) {
      EXPECT_EQ(e.Message(), u"Invalid data type for 'v'") << type;
      EXPECT_STREQ(e.what(), "Invalid data type for 'v'");
    }
  }
}

TEST_F(RegistryTest, ValueThatGrewBetweenTheQueriesRaises) {
  machine.SetText(HKEY_CURRENT_USER, u"A", u"Progid", u"Short");
  machine.afterValueSizeQuery = [] {
    fake::M().SetText(HKEY_CURRENT_USER, u"A", u"Progid", u"MuchLongerNow");
  };
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKey(u"A", false));
  try {
    registry.ReadString(u"Progid");
    ADD_FAILURE() << "a grown value was read";
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message(), u"Failed to get data for 'Progid'");
  }
  EXPECT_EQ(registry.LastError(), ERROR_MORE_DATA);
}

TEST_F(RegistryTest, ValueThatShrankOrChangedTypeBetweenTheQueries) {
  machine.SetText(HKEY_CURRENT_USER, u"A", u"v", u"LongerValue");
  machine.afterValueSizeQuery = [] {
    fake::M().SetText(HKEY_CURRENT_USER, u"A", u"v", u"ab", REG_SZ, false);
  };
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKey(u"A", false));
  EXPECT_EQ(registry.ReadString(u"v"), u"ab") << "no more than the second read returned";

  machine.afterValueSizeQuery = [] {
    fake::M().SetValue(HKEY_CURRENT_USER, u"A", u"v", REG_DWORD, {1, 0, 0, 0});
  };
  EXPECT_THROW(registry.ReadString(u"v"), ERegistryException)
      << "the type is tested after the read";
}

TEST_F(RegistryTest, NonAsciiValueNameInTheMessage) {
  machine.SetValue(HKEY_CURRENT_USER, u"Test", u"\u00E9", REG_BINARY, {1});
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKey(u"Test", false));
  try {
    registry.ReadString(u"\u00E9");
    ADD_FAILURE();
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for '\xC3\xA9'");
  }
}

TEST_F(RegistryTest, DataKinds) {
  EXPECT_EQ(DataTypeOf(REG_SZ), TRegDataType::rdString);
  EXPECT_EQ(DataTypeOf(REG_EXPAND_SZ), TRegDataType::rdExpandString);
  EXPECT_EQ(DataTypeOf(REG_DWORD), TRegDataType::rdInteger);
  EXPECT_EQ(DataTypeOf(REG_BINARY), TRegDataType::rdBinary);
  EXPECT_EQ(DataTypeOf(REG_MULTI_SZ), TRegDataType::rdUnknown);
}

}  // namespace
