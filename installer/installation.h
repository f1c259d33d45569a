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

// A running program of this installation: its process, and the name of the installed file it runs
// from (a set-aside copy "1-launcher.exe" is told as "launcher.exe").
struct InstalledProgram {
  DWORD processId;
  LaunchText name;
};

// The running processes whose image is one of `files` (entries of `folder`, as a removal plan has
// them) or a file set aside in the folder's replaced-while-running; never this process. Another
// program under the same folder is not the installation's. Images are compared in their long
// forms, case folded; a process whose image cannot be read is not counted.
std::vector<InstalledProgram> RunningPrograms(const LaunchText& folder,
                                              const std::vector<LaunchText>& files);

// Ends `programs`: first all of them are opened for ending, and when any cannot be (one that runs
// elevated), nothing is ended and their names come back. Otherwise each is asked to close
// (WM_CLOSE to its visible top-level windows; never WM_QUIT, on which the launcher would open the
// game), one wait of up to `graceMs` lets them, and what still runs is ended. Returns the names of
// those still running after that.
std::vector<LaunchText> EndPrograms(const std::vector<InstalledProgram>& programs, DWORD graceMs);

// Finishes an uninstall that ran in place (it cannot delete its own file): waits for its process
// `uninstaller` to end, however long its last page stays open, then deletes `folder`'s
// uninstall.exe and the folder when empty. Not when an install came back meanwhile: the record is
// there again, or the entry of `game` names the folder. True when uninstall.exe is gone.
bool FinishUninstall(DWORD uninstaller, const LaunchText& folder, const LaunchText& game);

// Takes the lock of the game `game` for this process, for as long as it runs: false when another
// installer or uninstaller of the game holds it.
bool TakeInstallerLock(const LaunchText& game);
