// What the game's installer and uninstaller decide and do in the installation folder: which files
// an update or an uninstall removes, setting aside what runs, the record, whose folder the entry
// names, and one installer at a time. Names and codes come back, never sentences: the NSIS script
// words them for the player.
#pragma once

#include <vector>

#include "installer/record.h"
#include "platform/launch_text.h"

// What to remove: files (deleted, or set aside when they run) and folders (only once empty, the
// deepest first). Entries are relative to the installation folder; a folder's ends in a backslash.
struct RemovalPlan {
  std::vector<LaunchText> files;
  std::vector<LaunchText> folders;
};

// An update, before it writes this version's files (`own`, its list): the files the old record
// names and this version's own, so that nothing older outlives it and every file is written anew;
// the old record's folders that this version lacks. With a record it cannot trust (or none) it
// replaces only its own files: anything else might be the player's.
RemovalPlan PlanUpdate(const Record& old, const std::vector<LaunchText>& own);

// An uninstall: what the record names, and this version's own files; without a record it can trust
// (or without one), its own version's files alone.
RemovalPlan PlanUninstall(const Record& old, const std::vector<LaunchText>& own);

// The record in `folder`, read whole.
Record ReadRecord(const LaunchText& folder);

// Writes the record of `entries` into `folder`; false when any step failed (what is left then is a
// record that fails its own proof, never one that passes with less).
bool WriteRecord(const LaunchText& folder, const std::vector<LaunchText>& entries);

// This version's own list from the file `path` (the build's), for `folder`; false when it cannot be
// read or is not plain throughout.
bool ReadOwnList(const LaunchText& path, const LaunchText& folder, std::vector<LaunchText>& own);

// Carries out `plan` in `folder`. A file that cannot be deleted (a program runs from it) is renamed
// into the set-aside folder when `setAside`; a read-only one is deleted all the same. Nothing
// behind a reparse point on the way (a junction or a link) is touched, nor a file entry that is a
// folder. Returns the entries that stay.
std::vector<LaunchText> CarryOut(const LaunchText& folder, const RemovalPlan& plan, bool setAside);

// Deletes what earlier updates set aside and no longer runs, and then the set-aside folder when it
// is empty. Returns what stays there, relative to `folder`.
std::vector<LaunchText> ClearSetAside(const LaunchText& folder);

// Whether two paths name the same folder: compared in their long forms (GetLongPathNameW, where the
// folder exists), case folded, a trailing backslash ignored. "" names none.
bool SameFolder(const LaunchText& a, const LaunchText& b);

// Deletes the shortcuts that `list` names ('|'-separated full paths, on a drive or a share), only
// files ending in .lnk.
// Returns those that stay.
std::vector<LaunchText> RemoveShortcuts(const LaunchText& list);

// Takes the lock of the game `game` for this process, for as long as it runs: false when another
// installer or uninstaller of the game holds it.
bool TakeInstallerLock(const LaunchText& game);
