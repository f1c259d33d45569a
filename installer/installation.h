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

// Carries out `plan` in `folder` (an uninstall's). Nothing behind a reparse point on the way (a
// junction or a link) is touched, nor a file entry that is a folder; a read-only file is deleted
// all the same. Returns the entries that stay (a program runs from them, or another holds them).
std::vector<LaunchText> CarryOut(const LaunchText& folder, const RemovalPlan& plan);

// An update, all or nothing. Its journal (update-journal.txt in the set-aside folder) names each
// file before it is moved aside, then this version's entries; "#writing" once every old file is
// aside, "#committed" once the new version is whole. A later installer or uninstaller reads it
// alone, whichever version it is.
struct UpdateStart {
  RecordState old = RecordState::kMissing;  // the record the update found
  std::vector<LaunchText> stayed;           // what could not be set aside: then nothing changed
};

// Finishes or rolls back what an earlier update left in its journal, clears the set-aside folder,
// then sets aside every file the update replaces or removes (the old record's, as far as it can be
// trusted, this version's own that are there, the record and uninstall.exe), and writes a record
// naming both versions' files. When any cannot be set aside, all go back.
UpdateStart BeginUpdate(const LaunchText& folder, const std::vector<LaunchText>& own);

// After a failure while the new files were written: this version's files go, and what was set
// aside comes back. Returns what could not be put back.
std::vector<LaunchText> RollBackUpdate(const LaunchText& folder);

// The new version is whole: the record names its files alone, the journal is marked done, and the
// old version's leftovers go (what was set aside and no longer runs, its folders once empty).
// False when the record could not be written; it then still names both versions' files, so that
// the next update or uninstall removes the leftovers.
bool CommitUpdate(const LaunchText& folder, const std::vector<LaunchText>& own);

// A journal left by an update that did not end (a crash, a power cut): finished when it was
// committed, rolled back otherwise.
void RecoverUpdate(const LaunchText& folder);

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
