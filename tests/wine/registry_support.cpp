#include "tests/wine/registry_support.h"

#include <algorithm>
#include <vector>

void SetRegText(HKEY root, const std::wstring& key, const std::wstring& name,
                const std::wstring& value, DWORD type) {
  HKEY handle = nullptr;
  if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle,
                      nullptr) != ERROR_SUCCESS) {
    return;
  }
  const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  RegSetValueExW(handle, name.empty() ? nullptr : name.c_str(), 0, type,
                 reinterpret_cast<const BYTE*>(value.c_str()), bytes);
  RegCloseKey(handle);
}

void DeleteRegTree(HKEY root, const std::wstring& key) {
  LiftKeyRestriction(root, key);
  RegDeleteTreeW(root, key.c_str());
}

namespace {

bool SetDacl(HKEY root, const std::wstring& key, PACL acl) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, WRITE_DAC, &handle) != ERROR_SUCCESS) return false;
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
  const bool done =
      RegSetKeySecurity(handle, DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
  RegCloseKey(handle);
  return done;
}

}  // namespace

bool RestrictKeyToRead(HKEY root, const std::wstring& key) {
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) {
    return false;
  }
  std::vector<BYTE> buffer(256);
  auto* acl = reinterpret_cast<PACL>(buffer.data());
  const bool done = InitializeAcl(acl, static_cast<DWORD>(buffer.size()), ACL_REVISION) &&
                    AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, everyone) &&
                    SetDacl(root, key, acl);
  FreeSid(everyone);
  return done;
}

// A null DACL grants everyone everything.
bool LiftKeyRestriction(HKEY root, const std::wstring& key) {
  return SetDacl(root, key, nullptr);
}

namespace {

void SaveKey(HKEY handle, const std::wstring& path, SavedRegTree& saved) {
  SavedRegTree::Key key{path, {}};
  for (DWORD index = 0;; ++index) {
    WCHAR name[16384];
    DWORD nameLength = 16384;
    DWORD type = REG_NONE;
    DWORD bytes = 0;
    if (RegEnumValueW(handle, index, name, &nameLength, nullptr, &type, nullptr, &bytes) !=
        ERROR_SUCCESS) {
      break;
    }
    SavedRegTree::Value value{std::wstring(name, nameLength), type, std::vector<BYTE>(bytes)};
    DWORD read = bytes;
    RegQueryValueExW(handle, value.name.c_str(), nullptr, nullptr,
                     bytes == 0 ? nullptr : value.bytes.data(), &read);
    value.bytes.resize(std::min(read, bytes));
    key.values.push_back(value);
  }
  std::sort(
      key.values.begin(), key.values.end(),
      [](const SavedRegTree::Value& a, const SavedRegTree::Value& b) { return a.name < b.name; });
  saved.keys.push_back(key);
  std::vector<std::wstring> children;
  for (DWORD index = 0;; ++index) {
    WCHAR name[256];
    DWORD nameLength = 256;
    if (RegEnumKeyExW(handle, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    children.emplace_back(name, nameLength);
  }
  std::sort(children.begin(), children.end());
  for (const std::wstring& child : children) {
    HKEY sub = nullptr;
    if (RegOpenKeyExW(handle, child.c_str(), 0, KEY_READ, &sub) != ERROR_SUCCESS) continue;
    SaveKey(sub, path.empty() ? child : path + L"\\" + child, saved);
    RegCloseKey(sub);
  }
}

std::string Narrow(const std::wstring& text) {
  std::string narrow;
  for (const wchar_t unit : text) narrow += unit < 0x80 ? static_cast<char>(unit) : '?';
  return narrow;
}

}  // namespace

SavedRegTree SaveRegTree(HKEY root, const std::wstring& key) {
  SavedRegTree saved;
  saved.root = root;
  saved.key = key;
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) == ERROR_SUCCESS) {
    saved.existed = true;
    SaveKey(handle, L"", saved);
    RegCloseKey(handle);
  }
  return saved;
}

void RestoreRegTree(const SavedRegTree& saved) {
  DeleteRegTree(saved.root, saved.key);
  for (const SavedRegTree::Key& key : saved.keys) {
    const std::wstring path = key.path.empty() ? saved.key : saved.key + L"\\" + key.path;
    HKEY handle = nullptr;
    if (RegCreateKeyExW(saved.root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS) {
      continue;
    }
    for (const SavedRegTree::Value& value : key.values) {
      RegSetValueExW(handle, value.name.empty() ? nullptr : value.name.c_str(), 0, value.type,
                     value.bytes.data(), static_cast<DWORD>(value.bytes.size()));
    }
    RegCloseKey(handle);
  }
}

std::string SavedRegTree::Describe() const {
  if (!existed) return Narrow(key) + ": absent\n";
  std::string text;
  for (const Key& one : keys) {
    text += Narrow(key + (one.path.empty() ? L"" : L"\\" + one.path)) + ":";
    for (const Value& value : one.values) {
      std::wstring shown;
      if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
        shown.assign(reinterpret_cast<const wchar_t*>(value.bytes.data()), value.bytes.size() / 2);
      }
      text += " [" + Narrow(value.name) + "]=" + Narrow(shown.c_str());
    }
    text += "\n";
  }
  return text;
}
