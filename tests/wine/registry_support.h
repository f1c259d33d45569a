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
