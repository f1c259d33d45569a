#include "platform/registry.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/text.h"

namespace {

const DWORD kReadMask = STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;
const DWORD kViewBits = KEY_WOW64_64KEY | KEY_WOW64_32KEY;

// The message with the value name in place of its "%s".
ERegistryException Failure(const char16_t* format, const LaunchText& valueName) {
  LaunchText message = format;
  message.replace(message.find(u"%s"), 2, valueName);
  return ERegistryException(message);
}

}  // namespace

ERegistryException::ERegistryException(LaunchText message)
    : message_(std::move(message)), utf8_(EncodeUtf8(message_)) {}

TRegDataType DataTypeOf(DWORD windowsType) {
  switch (windowsType) {
    case REG_SZ:
      return TRegDataType::rdString;
    case REG_EXPAND_SZ:
      return TRegDataType::rdExpandString;
    case REG_DWORD:
      return TRegDataType::rdInteger;
    case REG_BINARY:
      return TRegDataType::rdBinary;
    default:
      return TRegDataType::rdUnknown;
  }
}

void TRegistry::SetRootKey(HKEY value) {
  if (value == FRootKey) return;
  if (FCloseRootKey) {
    RegCloseKey(FRootKey);
    FCloseRootKey = false;
  }
  FRootKey = value;
  CloseKey();
}

HKEY TRegistry::BaseKeyFor(LaunchText& name, bool& absolute) const {
  absolute = !name.empty() && name[0] == u'\\';
  if (absolute) {
    name.erase(0, 1);
    return FRootKey;
  }
  return FCurrentKey != nullptr ? FCurrentKey : FRootKey;
}

// Read rights only, keeping the registry view the accessor was set to.
DWORD TRegistry::ReadMask() const {
  return kReadMask | (FAccess & kViewBits);
}

bool TRegistry::KeyExists(const LaunchText& name) {
  const DWORD mask = ReadMask();
  LaunchText subKey = name;
  bool absolute = false;
  const HKEY base = BaseKeyFor(subKey, absolute);
  HKEY handle = nullptr;
  RegOpenKeyExW(base, Wide(subKey), 0, mask, &handle);
  if (handle == nullptr) return false;
  RegCloseKey(handle);
  return true;
}

bool TRegistry::OpenKey(const LaunchText& name, bool /*canCreate*/) {
  return OpenWith(name, FAccess);
}

bool TRegistry::OpenKeyReadOnly(const LaunchText& name) {
  return OpenWith(name, ReadMask());
}

bool TRegistry::OpenWith(const LaunchText& name, DWORD mask) {
  LaunchText subKey = name;
  bool absolute = false;
  const HKEY base = BaseKeyFor(subKey, absolute);
  HKEY handle = nullptr;
  FLastError = RegOpenKeyExW(base, Wide(subKey), 0, mask, &handle);
  if (FLastError != ERROR_SUCCESS) return false;
  LaunchText path = !absolute && FCurrentKey != nullptr ? FCurrentPath + u"\\" + subKey : subKey;
  CloseKey();
  FCurrentKey = handle;
  FCurrentPath = std::move(path);
  return true;
}

LaunchText TRegistry::ReadString(const LaunchText& name) {
  DWORD type = REG_NONE;
  DWORD size = 0;
  FLastError = RegQueryValueExW(FCurrentKey, Wide(name), nullptr, &type, nullptr, &size);
  if (FLastError != ERROR_SUCCESS || size == 0) return u"";
  // Exactly the size just reported: a value that grew since then is a failure, not a truncation.
  std::vector<BYTE> data(size);
  DWORD returned = size;
  FLastError = RegQueryValueExW(FCurrentKey, Wide(name), nullptr, &type, data.data(), &returned);
  if (FLastError != ERROR_SUCCESS) throw Failure(u"Failed to get data for '%s'", name);
  const TRegDataType kind = DataTypeOf(type);
  if (kind != TRegDataType::rdString && kind != TRegDataType::rdExpandString) {
    throw Failure(u"Invalid data type for '%s'", name);
  }
  // Whole units only, never more than the read returned, up to the first zero: the value may be
  // stored without its terminator, or with an odd byte count.
  const std::size_t units = std::min(size, returned) / 2;
  LaunchText text(units, u'\0');
  for (std::size_t i = 0; i < units; ++i) {
    text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  return text.substr(0, text.find(u'\0'));
}

void TRegistry::CloseKey() {
  if (FCurrentKey == nullptr) return;
  if (!FLazyWrite) RegFlushKey(FCurrentKey);
  RegCloseKey(FCurrentKey);
  FCurrentKey = nullptr;
  FCurrentPath.clear();
}
