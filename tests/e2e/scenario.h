// End-to-end scenarios: the real launcher executable in a scratch game folder, under Wine, with
// stand-in programs (standin.exe under other names) registered where the launcher or the shell will
// find them. Each stand-in appends its start and end to one log, which the scenario reads back.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/wine/registry_support.h"
#include "tests/wine/test_files.h"

struct Event {
  std::string kind;           // "start" or "end"
  std::string image;          // file name of the stand-in
  unsigned long long ms = 0;  // start: process creation time; end: time of exit
  std::string directory;      // start: its working directory
  std::string commandLine;    // start: its whole command line
};

struct LauncherRun {
  DWORD exitCode = STILL_ACTIVE;
  unsigned long long started = 0;  // ms, when CreateProcessW returned
  unsigned long long ended = 0;    // ms, when the launcher's exit was seen
};

class Scenario : public ::testing::Test {
 protected:
  Scenario();
  ~Scenario() override;

  // The scenario's folders: the game folder is the launcher's current directory; the launcher's
  // executable lies in another folder.
  std::wstring GameDir() const { return root_ / L"game"; }
  std::wstring ProgramsDir() const { return root_ / L"programs"; }
  std::wstring InstallDir() const { return root_ / L"install"; }
  // Any other folder of the scenario's own.
  std::wstring Folder(const std::wstring& relative) const { return root_ / relative; }

  // Places a stand-in at `path` that lives `lifeMs` and optionally starts `spawn` first.
  void AddStandin(const std::wstring& path, unsigned lifeMs = 0, const std::wstring& spawn = L"");
  void AddShortcut(const std::wstring& linkPath, const std::wstring& target);

  // Where the shell sends https addresses and .url files.
  void RegisterHttpsHandler(const std::wstring& exe);
  void RegisterUrlFileHandler(const std::wstring& exe);

  // Runs the executable at `path` (a launcher built with other options) instead of the shipped
  // launcher, under its own file name.
  void UseLauncher(const std::wstring& path);

  // Starts the launcher in the game folder and waits for it to exit. `during` runs once the
  // launcher is up, with its process and thread ids.
  LauncherRun RunLauncher(DWORD timeoutMs = 60000,
                          const std::function<void(const PROCESS_INFORMATION&)>& during = {});

  // Runs the support report in the game folder and returns what it printed; its exit code must
  // be 0.
  std::string RunReport();

  // The log, once it holds at least `count` events (or after `timeoutMs`).
  std::vector<Event> Events(std::size_t count, DWORD timeoutMs = 10000) const;
  // Forgets every event so far, for a scenario that runs the launcher more than once.
  void ClearEvents() const;
  // Starts only, in the order the processes were created.
  std::vector<Event> Starts(std::size_t count, DWORD timeoutMs = 10000) const;

  static unsigned long long Now();

 private:
  ScratchDir root_;
  std::vector<std::unique_ptr<SavedRegTree>> sharedClasses_;  // put back when the scenario ends
  std::wstring log_;
  std::wstring launcherName_ = L"launcher.exe";
};

std::wstring Quoted(const std::wstring& path);

// Where the launcher, the report and the demonstration game's installer under test come from:
// beside this program, or the folder that E2E_SHIPPED_DIR names (the shipped i686 programs, run
// from the x86_64 harness under emulation).
std::wstring ShippedFolder();

// Extra time for the launcher and the report to start, from E2E_START_ALLOWANCE_MS: an emulated
// 32-bit process takes about a minute to get going.
DWORD StartAllowanceMs();
