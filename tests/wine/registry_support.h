// Registry set-up for tests that run under Wine.
#pragma once

#include <string>

#include "platform/win32_api.h"

// Creates `key` as needed and stores a zero-terminated text value ("" names the default value).
void SetRegText(HKEY root, const std::wstring& key, const std::wstring& name,
                const std::wstring& value, DWORD type = REG_SZ);
void DeleteRegTree(HKEY root, const std::wstring& key);
// Gives `key` a DACL that grants everyone read rights and nothing more, or takes that DACL off.
bool RestrictKeyToRead(HKEY root, const std::wstring& key);
bool LiftKeyRestriction(HKEY root, const std::wstring& key);

// A key's whole tree, copied under a key of the tests' own while it lives, so that a test that
// changes a key of the shared prefix puts it back as it found it (or removes it, if there was
// none) when this ends.
class SavedRegTree {
 public:
  SavedRegTree(HKEY root, std::wstring key);
  ~SavedRegTree();
  SavedRegTree(const SavedRegTree&) = delete;
  SavedRegTree& operator=(const SavedRegTree&) = delete;

 private:
  HKEY root_;
  std::wstring key_;
  std::wstring backup_;  // below HKEY_CURRENT_USER
  bool existed_ = false;
  bool saved_ = false;  // the copy was made
};

// A text value, or "" where there is none.
std::wstring RegText(HKEY root, const std::wstring& key, const std::wstring& name);
