#include "tests/wine/registry_support.h"

#include <utility>
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

SavedRegTree::SavedRegTree(HKEY root, std::wstring key) : root_(root), key_(std::move(key)) {
  static int saved = 0;
  backup_ = L"Software\\WgameTests\\Saved\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++saved);
  HKEY from = nullptr;
  HKEY to = nullptr;
  if (RegOpenKeyExW(root_, key_.c_str(), 0, KEY_READ, &from) != ERROR_SUCCESS) return;
  existed_ = true;
  saved_ = RegCreateKeyExW(HKEY_CURRENT_USER, backup_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                             nullptr, &to, nullptr) == ERROR_SUCCESS &&
             RegCopyTreeW(from, nullptr, to) == ERROR_SUCCESS;
  if (to != nullptr) RegCloseKey(to);
  RegCloseKey(from);
}

SavedRegTree::~SavedRegTree() {
  if (existed_ && !saved_) return;  // no copy to put back: left as it is, for the end check to see
  DeleteRegTree(root_, key_);
  if (saved_) {
    HKEY from = nullptr;
    HKEY to = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, backup_.c_str(), 0, KEY_READ, &from) == ERROR_SUCCESS &&
        RegCreateKeyExW(root_, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &to,
                        nullptr) == ERROR_SUCCESS) {
      RegCopyTreeW(from, nullptr, to);
    }
    if (to != nullptr) RegCloseKey(to);
    if (from != nullptr) RegCloseKey(from);
  }
  DeleteRegTree(HKEY_CURRENT_USER, backup_);
}

std::wstring RegText(HKEY root, const std::wstring& key, const std::wstring& name) {
  std::vector<wchar_t> text(4096, 0);
  DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (RegGetValueW(root, key.c_str(), name.empty() ? nullptr : name.c_str(), RRF_RT_REG_SZ, nullptr,
                   text.data(), &bytes) != ERROR_SUCCESS) {
    return L"";
  }
  return text.data();
}
