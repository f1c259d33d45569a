// A fresh folder under the temporary directory, made the current directory for the test's life.
#pragma once

#include <string>

#include "platform/win32_api.h"

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
