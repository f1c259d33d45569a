// The installation's record (installed-files.txt in its folder): what an install put there, so that
// the next update or the uninstall removes exactly that and nothing else. The record lives where
// the player (and any program of theirs) can write, so it is read strictly: one entry that does not
// name, plainly, a file or folder below the installation folder, or a record that does not prove
// itself whole, and none of it is used.
//
// The form this installer writes, UTF-16LE with a byte-order mark, every line ended by CR LF:
//   #installed-files:2
//   launcher.exe              a file, below the installation folder
//   fscommand\wgame.exe
//   fscommand\                a folder (ends in a backslash), removed only once empty
//   #end:3:1A2B3C4D           how many entries, and the CRC-32 of their lines' bytes
// Both marker lines hold a colon, which no entry may, so neither can be taken for one. Installers
// before this form wrote the entries alone (after the mark); such a record is still read, under the
// same rules for every entry, as it cannot prove itself whole.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/launch_text.h"

enum class RecordState : std::uint8_t {
  kMissing,    // no record: an installation from before records, or none
  kTrusted,    // whole, every entry plain
  kLegacy,     // the older form without proof, every entry plain
  kUntrusted,  // there, but cut short, zeroed, re-encoded, altered or naming what it must not
};

struct Record {
  RecordState state = RecordState::kMissing;
  std::vector<LaunchText> entries;  // only for kTrusted and kLegacy
};

// Why an entry may not be acted on; kPlain when it names exactly a file or folder below the
// installation folder.
enum class EntryFault : std::uint8_t {
  kPlain,
  kEmpty,          // "" or a lone backslash
  kWildcard,       // * or ?
  kColon,          // a drive, or a stream
  kSlash,          // / is a separator to Windows, never to a record
  kEmptyPart,      // a leading backslash, or two in a row
  kDotPart,        // "." or ".."
  kTrailingDot,    // a part ending in a dot or a space, which Windows drops
  kForbidden,      // < > | " or a control character
  kTooLong,        // the whole path would not fit a Windows path (MAX_PATH)
  kInstallersOwn,  // the record itself, the uninstaller, or the set-aside folder
};

extern const LaunchText kRecordName;    // installed-files.txt
extern const LaunchText kUninstaller;   // uninstall.exe
extern const LaunchText kSetAsideName;  // replaced-while-running

// `folderLength`: the units of the installation folder's path, which the entry is put below.
EntryFault CheckEntry(const LaunchText& entry, std::size_t folderLength);

inline bool IsFolderEntry(const LaunchText& entry) {
  return !entry.empty() && entry.back() == u'\\';
}

// The record in `bytes` (the whole file).
Record ParseRecord(const std::vector<BYTE>& bytes, std::size_t folderLength);

// The bytes of a record naming `entries`, in the form above.
std::vector<BYTE> RecordBytes(const std::vector<LaunchText>& entries);

// This version's own list, as the build writes it: UTF-8, one entry a line. False, and no entries,
// when it is not valid UTF-8 or any entry is not plain.
bool ParseOwnList(const std::vector<BYTE>& utf8, std::size_t folderLength,
                  std::vector<LaunchText>& entries);

std::uint32_t Crc32(const BYTE* data, std::size_t size);

// Appends `line` and its CR LF to `bytes`, as UTF-16LE: a line of the record or of the update's
// journal.
void AppendLine(std::vector<BYTE>& bytes, const LaunchText& line);

// `value` in decimal digits.
LaunchText Decimal(std::size_t value);

// A game's version as the build allows it: one to four numbers of 0 to 65535, separated by dots.
// False, and `parts` empty, for anything else.
bool ParseVersion(const LaunchText& text, std::vector<unsigned>& parts);

// -1, 0 or 1 as version `a` is older than, the same as, or newer than `b`, a missing number
// counting as 0 ("2" is "2.0.0.0"); false when either is not a version.
bool CompareVersions(const LaunchText& a, const LaunchText& b, int& order);
