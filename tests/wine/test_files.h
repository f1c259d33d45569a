// Files and folders for tests that run under Wine.
#pragma once

#include <string>

#include "platform/win32_api.h"

// A fresh folder under the temporary directory, made the current directory for the test's life.
class ScratchDir {
 public:
  explicit ScratchDir(const std::wstring& name);
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& relative) const { return path_ + L"\\" + relative; }

  // Makes the folder (and the ones above it) below this one.
  void MakeDirectory(const std::wstring& relative) const;
  // Writes a file below this one, making its folders first.
  void WriteFile(const std::wstring& relative, const std::string& content = "") const;

 private:
  std::wstring path_;
  std::wstring previous_;
};

// Deletes a folder and everything in it.
void RemoveTree(const std::wstring& path);

// The folder that holds the running test program (and the stand-in and launcher beside it).
std::wstring ProgramFolder();

std::string Utf8(const std::wstring& text);
// The value of an environment variable, "" when it is not set.
std::wstring EnvironmentValue(const wchar_t* name);
std::string ReadFileText(const std::wstring& path);
void WriteFileText(const std::wstring& path, const std::string& content);

// Places a copy of the stand-in program at `path` that lives `lifeMs` and first starts `spawn`
// when one is given.
void PlaceStandin(const std::wstring& path, unsigned lifeMs, const std::string& spawn = "");

// Every stand-in writes the lines of its own log, "<log>.<process id>.log" for the `log` named by
// STANDIN_LOG. Their lines, one log after another, each cut after its last line end (a line still
// being written waits for the next read).
std::string ReadStandinLogs(const std::wstring& log);
// Deletes them.
void DeleteStandinLogs(const std::wstring& log);
