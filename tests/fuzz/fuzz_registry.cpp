// ReadString over values of any type, byte count and content, including a value that changes
// between the size query and the read: a result within the data, or ERegistryException.
#include <cstdint>
#include <cstdlib>

#include "platform/registry.h"
#include "tests/fake_windows/fake_windows.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const DWORD firstType = data[0] % 12;
  const DWORD secondType = data[1] % 12;
  const bool changes = (data[2] & 1) != 0;
  const std::size_t cut = std::min<std::size_t>(data[3] * 8u, size - 4);
  const std::vector<BYTE> first(data + 4, data + 4 + cut);
  const std::vector<BYTE> second(data + 4 + cut, data + size);

  fake::Reset();
  fake::Machine& m = fake::M();
  m.SetValue(HKEY_CURRENT_USER, u"Key", u"v", firstType, first);
  if (changes) {
    m.afterValueSizeQuery = [&] {
      fake::M().SetValue(HKEY_CURRENT_USER, u"Key", u"v", secondType, second);
    };
  }
  TRegistry registry;
  Check(registry.OpenKey(u"Key", false));
  try {
    const LaunchText text = registry.ReadString(u"v");
    const std::size_t limit = changes ? std::min(first.size(), second.size()) : first.size();
    Check(text.size() <= limit / 2);
    Check(text.find(u'\0') == LaunchText::npos);
  } catch (const ERegistryException& e) {
    Check(e.Message() == u"Invalid data type for 'v'" ||
          e.Message() == u"Failed to get data for 'v'");
  }
  return 0;
}
