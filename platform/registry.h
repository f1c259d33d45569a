// The registry accessor the browser lookup reads through. It holds one root key and at most one
// open key, resolves names against them, and reads text values with a strict type rule. It only
// reads. Existence is probed with read rights, while opening asks for the full access mask, so a
// key the user may read but not write exists and still does not open.
#pragma once

#include <cstdint>
#include <exception>
#include <vector>

#include "platform/launch_text.h"

// A registry read that went wrong; ReadString is the only operation that raises it.
class ERegistryException : public std::exception {
 public:
  explicit ERegistryException(LaunchText message);
  const LaunchText& Message() const { return message_; }
  const char* what() const noexcept override { return utf8_.data(); }

 private:
  LaunchText message_;
  std::vector<char> utf8_;  // zero-terminated
};

enum class TRegDataType : std::uint8_t { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

TRegDataType DataTypeOf(DWORD windowsType);

class TRegistry {
 public:
  TRegistry() = default;
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey() const { return FRootKey; }
  // Changing the root closes the open key; setting the same root again keeps it open.
  void SetRootKey(HKEY value);
  const LaunchText& CurrentPath() const { return FCurrentPath; }
  HKEY CurrentKey() const { return FCurrentKey; }
  DWORD Access() const { return FAccess; }
  void SetAccess(DWORD value) { FAccess = value; }
  bool LazyWrite() const { return FLazyWrite; }
  void SetLazyWrite(bool value) { FLazyWrite = value; }
  LONG LastError() const { return FLastError; }

  // Whether `name` can be opened for reading. Touches neither the open key nor LastError.
  bool KeyExists(const LaunchText& name);
  // Opens `name` with the full access mask and makes it the open key. This accessor never
  // creates keys: `canCreate` must be false. On failure only LastError changes.
  bool OpenKey(const LaunchText& name, bool canCreate);
  // Opens `name` with the read rights KeyExists probes with, whatever the access mask, and makes
  // it the open key: for a key the program must read but has no business asking to write. On
  // failure only LastError changes.
  bool OpenKeyReadOnly(const LaunchText& name);
  // The text value `name` of the open key ("" is the default value); "" when it is missing or
  // empty. Raises ERegistryException for a value that is not text or cannot be read whole.
  LaunchText ReadString(const LaunchText& name);
  void CloseKey();

 private:
  // A name starting with a backslash is absolute: below the root, without that one backslash.
  // Any other name is below the open key, or below the root when none is open.
  HKEY BaseKeyFor(LaunchText& name, bool& absolute) const;
  DWORD ReadMask() const;
  bool OpenWith(const LaunchText& name, DWORD mask);

  HKEY FCurrentKey = nullptr;
  HKEY FRootKey = HKEY_CURRENT_USER;
  bool FLazyWrite = true;
  LaunchText FCurrentPath;
  bool FCloseRootKey = false;
  DWORD FAccess = KEY_ALL_ACCESS;
  LONG FLastError = 0;
};
