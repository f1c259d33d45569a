// Registry set-up for tests that run under Wine.
#pragma once

#include <string>
#include <vector>

#include "platform/win32_api.h"

// Creates `key` as needed and stores a zero-terminated text value ("" names the default value).
void SetRegText(HKEY root, const std::wstring& key, const std::wstring& name,
                const std::wstring& value, DWORD type = REG_SZ);
void DeleteRegTree(HKEY root, const std::wstring& key);
// Gives `key` a DACL that grants everyone read rights and nothing more, or takes that DACL off.
bool RestrictKeyToRead(HKEY root, const std::wstring& key);
bool LiftKeyRestriction(HKEY root, const std::wstring& key);

// A key's whole tree as it stood, so that a test that changes a key of the shared prefix can put
// it back: every sub-key (parents first), each with its values' types and exact bytes.
struct SavedRegTree {
  struct Value {
    std::wstring name;
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
    bool operator==(const Value& other) const {
      return name == other.name && type == other.type && bytes == other.bytes;
    }
  };
  struct Key {
    std::wstring path;  // below the saved key; "" for the key itself
    std::vector<Value> values;
    bool operator==(const Key& other) const { return path == other.path && values == other.values; }
  };
  HKEY root = nullptr;
  std::wstring key;
  bool existed = false;
  std::vector<Key> keys;
  bool operator==(const SavedRegTree& other) const {
    return existed == other.existed && keys == other.keys;
  }
  // One line a key, for a failure message.
  std::string Describe() const;
};
SavedRegTree SaveRegTree(HKEY root, const std::wstring& key);
// Replaces the tree with what was saved (or removes it, if it did not exist then).
void RestoreRegTree(const SavedRegTree& saved);
