// The text helpers on arbitrary UTF-16: positions and lengths stay inside the text, and the replace
// agrees with a plain left-to-right scan (no match left unreplaced, its own output never searched).
#include <cstdint>
#include <cstdlib>

#include "platform/text.h"
#include "tests/fake_windows/fake_windows.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

LaunchText Upper(LaunchText s) {
  if (!s.empty()) CharUpperBuffW(WideBuffer(s), static_cast<DWORD>(s.size()));
  return s;
}

// Leftmost, non-overlapping, ignoring case; a zero unit never starts a match.
LaunchText ReferenceReplace(const LaunchText& s, const LaunchText& pattern,
                            const LaunchText& with) {
  if (pattern.empty()) return s;
  const LaunchText upper = Upper(s), upperPattern = Upper(pattern);
  LaunchText out;
  std::size_t i = 0;
  while (i < s.size()) {
    if (upper[i] != 0 && i + pattern.size() <= s.size() &&
        upper.compare(i, pattern.size(), upperPattern) == 0) {
      out += with;
      i += pattern.size();
    } else {
      out += s[i++];
    }
  }
  return out;
}

int NaivePos(const LaunchText& needle, const LaunchText& hay, long long from) {
  if (needle.empty() || from < 1) return 0;
  for (long long i = from - 1;
       i + static_cast<long long>(needle.size()) <= static_cast<long long>(hay.size()); ++i) {
    if (hay.compare(static_cast<std::size_t>(i), needle.size(), needle) == 0)
      return static_cast<int>(i + 1);
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 8) return 0;
  const auto from = static_cast<std::int16_t>(data[0] | (data[1] << 8));
  const auto index = static_cast<std::int16_t>(data[2] | (data[3] << 8));
  const auto count = static_cast<std::int16_t>(data[4] | (data[5] << 8));
  const std::size_t cut1 = data[6], cut2 = data[7];
  LaunchText units;
  for (std::size_t i = 8; i + 1 < size; i += 2)
    units += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  const std::size_t a = std::min(cut1, units.size());
  const std::size_t b = std::min(a + cut2, units.size());
  const LaunchText needle = units.substr(0, a / 2 + 1 > a ? a : a / 2 + 1);
  const LaunchText pattern = units.substr(0, a);
  const LaunchText replacement = units.substr(a, b - a);
  const LaunchText hay = units.substr(b);

  const int pos = TextPos(needle, hay);
  Check(pos == NaivePos(needle, hay, 1));
  const int posFrom = TextPosFrom(needle, hay, from);
  Check(posFrom == NaivePos(needle, hay, from));
  Check(posFrom == 0 || (posFrom >= from && posFrom + needle.size() - 1 <= hay.size()));

  const LaunchText copy = TextCopy(hay, index, count);
  const long long start = index < 1 ? 0 : std::min<long long>(index - 1, hay.size());
  const long long take = count < 0 ? 0 : std::min<long long>(count, hay.size() - start);
  Check(copy == hay.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(take)));

  Check(FoldLowerAscii(hay).size() == hay.size());
  Check(FoldLowerSystem(hay).size() == hay.size());
  Check(TextEquals(hay, hay) && (hay.empty() || !TextEquals(hay, hay.substr(1))));

  const LaunchText replaced = ReplaceAllNoCase(hay, pattern, replacement);
  Check(replaced == ReferenceReplace(hay, pattern, replacement));
  return 0;
}
