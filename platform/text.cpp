#include "platform/text.h"

#include <algorithm>
#include <vector>

namespace {

int Length(const LaunchText& s) {
  return static_cast<int>(s.size());
}

// Ordinal search from 0-based `start`; returns a 0-based index, or -1. A unit of zero in `hay`
// never starts a match, as with a search over zero-terminated text.
long long FindFrom(const LaunchText& needle, const LaunchText& hay, long long start,
                   bool zeroNeverStarts) {
  const long long n = static_cast<long long>(needle.size());
  const long long h = static_cast<long long>(hay.size());
  if (n == 0 || start < 0 || h - start < n) return -1;
  for (long long i = start; i + n <= h; ++i) {
    if (zeroNeverStarts && hay[static_cast<std::size_t>(i)] == 0) continue;
    if (hay.compare(static_cast<std::size_t>(i), static_cast<std::size_t>(n), needle) == 0) {
      return i;
    }
  }
  return -1;
}

LaunchText FoldUpperSystem(LaunchText s) {
  if (!s.empty()) CharUpperBuffW(WideBuffer(s), static_cast<DWORD>(s.size()));
  return s;
}

}  // namespace

int TextPos(const LaunchText& needle, const LaunchText& hay) {
  return TextPosFrom(needle, hay, 1);
}

int TextPosFrom(const LaunchText& needle, const LaunchText& hay, int from) {
  if (from < 1) return 0;
  const long long at = FindFrom(needle, hay, static_cast<long long>(from) - 1, false);
  return at < 0 ? 0 : static_cast<int>(at + 1);
}

LaunchText TextCopy(const LaunchText& s, int index, int count) {
  const int length = Length(s);
  const int start = index < 1 ? 0 : std::min(index - 1, length);
  const int units = count < 0 ? 0 : std::min(count, length - start);
  return s.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(units));
}

bool TextEquals(const LaunchText& a, const LaunchText& b) {
  return a == b;
}

LaunchText FoldLowerAscii(LaunchText s) {
  for (char16_t& unit : s) {
    if (unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit + 0x20);
  }
  return s;
}

LaunchText FoldLowerSystem(LaunchText s) {
  if (!s.empty()) CharLowerBuffW(WideBuffer(s), static_cast<DWORD>(s.size()));
  return s;
}

LaunchText ReplaceAllNoCase(const LaunchText& s, const LaunchText& pattern,
                            const LaunchText& replacement) {
  const LaunchText upPattern = FoldUpperSystem(pattern);
  // `search` and `rest` always have the same length (the case mapping keeps it), so one offset into
  // the originals stands for both.
  const LaunchText search = FoldUpperSystem(s);
  LaunchText result;
  std::size_t offset = 0;
  while (offset < search.size()) {
    const long long at = FindFrom(upPattern, search, static_cast<long long>(offset), true);
    if (at < 0) {
      result.append(s, offset, LaunchText::npos);
      break;
    }
    const auto match = static_cast<std::size_t>(at);
    result.append(s, offset, match - offset);
    result.append(replacement);
    offset = match + pattern.size();
  }
  return result;
}

std::vector<char> EncodeUtf8(const LaunchText& text) {
  std::vector<char> out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned long c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;  // a lone surrogate
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  out.push_back('\0');
  return out;
}
