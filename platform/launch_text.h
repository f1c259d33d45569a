// The launcher's one text type: UTF-16 code units with a length, on every platform.
#pragma once

#include <string>

#include "platform/win32_api.h"

using LaunchText = std::u16string;

static_assert(sizeof(WCHAR) == sizeof(char16_t), "Windows text is UTF-16");

// The zero-terminated form that the W functions take. Valid while `text` lives unchanged.
inline const WCHAR* Wide(const LaunchText& text) {
  return reinterpret_cast<const WCHAR*>(text.c_str());
}

inline const WCHAR* Wide(const char16_t* text) {
  return reinterpret_cast<const WCHAR*>(text);
}

inline WCHAR* WideBuffer(LaunchText& text) {
  return reinterpret_cast<WCHAR*>(&text[0]);
}

// The text of `units` up to its first zero unit, reading at most `capacity` units.
inline LaunchText TextUpToZero(const WCHAR* units, std::size_t capacity) {
  std::size_t length = 0;
  while (length < capacity && units[length] != 0) ++length;
  return LaunchText(reinterpret_cast<const char16_t*>(units), length);
}
