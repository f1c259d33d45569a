#include "installer/record.h"

#include <gtest/gtest.h>

#include "tests/fake_windows/fake_windows.h"

namespace {

const std::size_t kFolder = 40;  // C:\Users\Player\AppData\Local\Programs\G

std::vector<BYTE> Utf16File(const LaunchText& text, bool bom = true) {
  std::vector<BYTE> bytes = fake::Utf16Bytes(text, false);
  if (bom) bytes.insert(bytes.begin(), {0xFF, 0xFE});
  return bytes;
}

std::vector<BYTE> Ascii(const std::string& text) {
  return std::vector<BYTE>(text.begin(), text.end());
}

TEST(Record, EntryRulesRefuseWhatIsNotPlainlyBelowTheFolder) {
  const struct {
    LaunchText entry;
    EntryFault fault;
  } rows[] = {
      {u"launcher.exe", EntryFault::kPlain},
      {u"fscommand\\wgame.exe", EntryFault::kPlain},
      {u"fscommand\\", EntryFault::kPlain},
      {u"Spiele f\u00fcr alle.txt", EntryFault::kPlain},
      {u"sub\\uninstall.exe", EntryFault::kPlain},  // only the top one is the uninstaller
      {u"", EntryFault::kEmpty},
      {u"\\", EntryFault::kEmpty},
      {u"saves\\*", EntryFault::kWildcard},
      {u"*.sav", EntryFault::kWildcard},
      {u"slot?.sav", EntryFault::kWildcard},
      {u"C:\\Windows\\win.ini", EntryFault::kColon},
      {u"play.url:secret", EntryFault::kColon},
      {u"saves/slot1.sav", EntryFault::kSlash},
      {u"\\Windows\\win.ini", EntryFault::kEmptyPart},
      {u"\\\\server\\share\\x", EntryFault::kEmptyPart},
      {u"saves\\\\slot1.sav", EntryFault::kEmptyPart},
      {u"fscommand\\\\", EntryFault::kEmptyPart},
      {u"..\\other game\\save.sav", EntryFault::kDotPart},
      {u"saves\\..\\..\\x", EntryFault::kDotPart},
      {u".\\launcher.exe", EntryFault::kDotPart},
      {u"LICENSE.", EntryFault::kTrailingDot},
      {u"saves \\slot1.sav", EntryFault::kTrailingDot},
      {u"a<b", EntryFault::kForbidden},
      {u"a\"b", EntryFault::kForbidden},
      {u"tab\there", EntryFault::kForbidden},
      {u"installed-files.txt", EntryFault::kInstallersOwn},
      {u"UNINSTALL.EXE", EntryFault::kInstallersOwn},
      {u"replaced-while-running\\", EntryFault::kInstallersOwn},
      {u"Replaced-While-Running\\1-launcher.exe", EntryFault::kInstallersOwn},
      // The folder (40), a backslash and the entry must leave room for the terminating zero.
      {LaunchText(MAX_PATH - kFolder - 2, u'a'), EntryFault::kPlain},
      {LaunchText(MAX_PATH - kFolder - 1, u'a'), EntryFault::kTooLong},
      {LaunchText(MAX_PATH - kFolder - 2, u'a') + u"\\", EntryFault::kPlain},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(CheckEntry(row.entry, kFolder), row.fault) << fake::Narrow(row.entry);
  }
}

TEST(Record, IsTrustedOnlyWholeAndPlain) {
  const std::vector<LaunchText> entries = {u"launcher.exe", u"extras\\intro.txt", u"extras\\"};
  const std::vector<BYTE> written = RecordBytes(entries);
  const Record whole = ParseRecord(written, kFolder);
  ASSERT_EQ(whole.state, RecordState::kTrusted);
  EXPECT_EQ(whole.entries, entries);
  EXPECT_EQ(ParseRecord(RecordBytes({}), kFolder).state, RecordState::kTrusted);

  std::vector<BYTE> flipped = written;
  flipped[44] ^= 0x01;  // "launcher.exe" becomes "l`uncher.exe": only the CRC tells
  std::vector<BYTE> cut = written;
  cut.resize(cut.size() - 4);  // the last line's end lost
  std::vector<BYTE> cutAtLine = written;
  cutAtLine.resize(written.size() - 2 * LaunchText(u"#end:3:00000000\r\n").size());
  std::vector<BYTE> odd = written;
  odd.push_back(0);
  const LaunchText header = u"#installed-files:2\r\n";
  const LaunchText lines = u"launcher.exe\r\nextras\\intro.txt\r\nextras\\\r\n";
  const struct {
    const char* what;
    std::vector<BYTE> bytes;
    RecordState state;
  } rows[] = {
      {"written by this installer", written, RecordState::kTrusted},
      {"an entry altered", flipped, RecordState::kUntrusted},
      {"cut short in the proof", cut, RecordState::kUntrusted},
      {"cut short before the proof", cutAtLine, RecordState::kUntrusted},
      {"an odd byte at the end", odd, RecordState::kUntrusted},
      {"empty", {}, RecordState::kUntrusted},
      {"zeroed", std::vector<BYTE>(written.size(), 0), RecordState::kUntrusted},
      {"the mark alone", {0xFF, 0xFE}, RecordState::kUntrusted},
      {"no byte-order mark", Utf16File(header + lines, false), RecordState::kUntrusted},
      {"UTF-8", Ascii("launcher.exe\r\nLICENSE\r\n"), RecordState::kUntrusted},
      {"UTF-8 with its mark", Ascii("\xEF\xBB\xBFlauncher.exe\r\n"), RecordState::kUntrusted},
      {"LF without CR", Utf16File(u"launcher.exe\nLICENSE\n"), RecordState::kUntrusted},
      {"CR without LF", Utf16File(u"launcher.exe\rLICENSE\r\n"), RecordState::kUntrusted},
      {"a zero inside", Utf16File(LaunchText(u"launcher.exe\r\nLIC\0ENSE\r\n", 25)),
       RecordState::kUntrusted},
      {"the header without its proof", Utf16File(header + lines), RecordState::kUntrusted},
      {"the older form", Utf16File(lines), RecordState::kLegacy},
      {"the older form cut inside a line", Utf16File(u"launcher.exe\r\nLICE"),
       RecordState::kUntrusted},
      {"the older form with a wildcard", Utf16File(lines + u"saves\\*\r\n"),
       RecordState::kUntrusted},
      {"the older form with a pattern", Utf16File(u"*.sav\r\n" + lines), RecordState::kUntrusted},
      {"the older form naming the record", Utf16File(lines + u"installed-files.txt\r\n"),
       RecordState::kUntrusted},
      {"the older form naming the uninstaller", Utf16File(u"uninstall.exe\r\n" + lines),
       RecordState::kUntrusted},
      {"the older form with an over-long line", Utf16File(lines + LaunchText(1100, u'x') + u"\r\n"),
       RecordState::kUntrusted},
      {"the older form with an empty line", Utf16File(lines + u"\r\n"), RecordState::kUntrusted},
  };
  for (const auto& row : rows) {
    const Record record = ParseRecord(row.bytes, kFolder);
    EXPECT_EQ(record.state, row.state) << row.what;
    if (record.state == RecordState::kUntrusted) EXPECT_TRUE(record.entries.empty()) << row.what;
  }
}

TEST(Record, OwnListIsStrictUtf8OfPlainEntries) {
  const struct {
    const char* what;
    std::string utf8;
    std::vector<LaunchText> entries;  // none: refused
  } rows[] = {
      {"plain",
       "launcher.exe\nfscommand\\wgame.exe\nfscommand\\\n",
       {u"launcher.exe", u"fscommand\\wgame.exe", u"fscommand\\"}},
      {"no last line end", "LICENSE", {u"LICENSE"}},
      {"two-byte letter", "f\xC3\xBCr.txt\n", {u"f\u00fcr.txt"}},
      {"four-byte letter", "\xF0\x9F\x8E\xAE.txt\n", {u"\U0001F3AE.txt"}},
      {"an entry not plain", "launcher.exe\n..\\x\n", {}},
      {"a sequence cut short", "f\xC3", {}},
      {"an overlong form", "\xC0\xAF.txt\n", {}},
      {"a surrogate", "\xED\xA0\x80.txt\n", {}},
      {"a stray continuation", "\x80.txt\n", {}},
  };
  for (const auto& row : rows) {
    std::vector<LaunchText> entries = {u"stale"};
    EXPECT_EQ(ParseOwnList(Ascii(row.utf8), kFolder, entries), !row.entries.empty()) << row.what;
    EXPECT_EQ(entries, row.entries) << row.what;
  }
}

TEST(Record, VersionsCompareNumberByNumber) {
  const struct {
    LaunchText a, b;
    int order;  // 2: not both versions
  } rows[] = {
      {u"2.0", u"1.0", 1},       {u"1.0", u"2.0", -1},     {u"1.10", u"1.9", 1},
      {u"2", u"2.0.0.0", 0},     {u"1.0.0.1", u"1.0", 1},  {u"65535", u"65534.9", 1},
      {u"1.0", u"1.0", 0},       {u"01.2", u"1.2", 0},     {u"", u"1.0", 2},
      {u"1.0.0.0.0", u"1.0", 2}, {u"1..0", u"1.0", 2},     {u"1.0.", u"1.0", 2},
      {u".1", u"1.0", 2},        {u"1.0-beta", u"1.0", 2}, {u"65536", u"1.0", 2},
      {u"1.0", u"v1.0", 2},      {u"1,0", u"1.0", 2},      {u"99999999999", u"1", 2},
  };
  for (const auto& row : rows) {
    int order = 7;
    const bool compared = CompareVersions(row.a, row.b, order);
    EXPECT_EQ(compared ? order : 2, row.order) << fake::Narrow(row.a + u" ~ " + row.b);
  }
}

}  // namespace
