#include "installer/record.h"

#include "platform/text.h"

const LaunchText kRecordName = u"installed-files.txt";
const LaunchText kUninstaller = u"uninstall.exe";
const LaunchText kSetAsideName = u"replaced-while-running";

namespace {

const LaunchText kHeader = u"#installed-files:2";
const LaunchText kEndMark = u"#end:";

std::vector<LaunchText> Parts(const LaunchText& path) {
  std::vector<LaunchText> parts(1);
  for (char16_t unit : path) {
    if (unit == u'\\') {
      parts.emplace_back();
    } else {
      parts.back() += unit;
    }
  }
  return parts;
}

bool IsInstallersOwn(const std::vector<LaunchText>& parts) {
  const LaunchText first = FoldLowerAscii(parts.front());
  return first == kSetAsideName ||
         (parts.size() == 1 && (first == kRecordName || first == kUninstaller));
}

LaunchText Hex8(std::uint32_t value) {
  LaunchText text;
  for (int shift = 28; shift >= 0; shift -= 4) {
    text += u"0123456789ABCDEF"[(value >> shift) & 0xF];
  }
  return text;
}

// The lines of UTF-16LE `bytes` after the byte-order mark, each ended by CR LF. False for an odd
// length, a zero unit, a CR or LF alone, or text after the last line end (a file cut short).
bool SplitLines(const std::vector<BYTE>& bytes, std::vector<LaunchText>& lines) {
  if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE || bytes.size() % 2 != 0) {
    return false;
  }
  LaunchText line;
  bool afterCr = false;
  for (std::size_t at = 2; at < bytes.size(); at += 2) {
    const auto unit = static_cast<char16_t>(bytes[at] | (bytes[at + 1] << 8));
    if (unit == 0 || (afterCr != (unit == u'\n'))) return false;
    afterCr = unit == u'\r';
    if (unit == u'\n') {
      lines.push_back(line);
      line.clear();
    } else if (unit != u'\r') {
      line += unit;
    }
  }
  return line.empty() && !afterCr;
}

// "#end:<count>:<CRC>" for `entries`, over the bytes their lines take in the file.
LaunchText EndLine(const std::vector<LaunchText>& entries) {
  std::vector<BYTE> bytes;
  for (const LaunchText& entry : entries) AppendLine(bytes, entry);
  return kEndMark + Decimal(entries.size()) + u":" + Hex8(Crc32(bytes.data(), bytes.size()));
}

// Strict UTF-8: no overlong form, no surrogate, nothing past U+10FFFF, no sequence cut short.
bool DecodeUtf8(const std::vector<BYTE>& utf8, LaunchText& text) {
  const char32_t smallest[] = {0, 0x80, 0x800, 0x10000};
  for (std::size_t at = 0; at < utf8.size();) {
    const BYTE lead = utf8[at];
    std::size_t extra = 0;
    char32_t code = lead;
    if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3;
      code = lead & 0x07u;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2;
      code = lead & 0x0Fu;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1;
      code = lead & 0x1Fu;
    } else if (lead >= 0x80) {
      return false;
    }
    if (at + extra >= utf8.size()) return false;
    for (std::size_t i = 1; i <= extra; ++i) {
      if ((utf8[at + i] & 0xC0) != 0x80) return false;
      code = (code << 6) | (utf8[at + i] & 0x3Fu);
    }
    if (code < smallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    at += extra + 1;
    if (code >= 0x10000) {
      text += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      text += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      text += static_cast<char16_t>(code);
    }
  }
  return true;
}

}  // namespace

LaunchText Decimal(std::size_t value) {
  LaunchText text;
  do {
    text.insert(text.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value != 0);
  return text;
}

void AppendLine(std::vector<BYTE>& bytes, const LaunchText& line) {
  for (char16_t unit : line + u"\r\n") {
    bytes.push_back(static_cast<BYTE>(unit & 0xFF));
    bytes.push_back(static_cast<BYTE>(unit >> 8));
  }
}

std::uint32_t Crc32(const BYTE* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

EntryFault CheckEntry(const LaunchText& entry, std::size_t folderLength) {
  LaunchText path = entry;
  if (IsFolderEntry(path)) path.pop_back();
  if (path.empty()) return EntryFault::kEmpty;
  for (char16_t unit : path) {
    if (unit == u'*' || unit == u'?') return EntryFault::kWildcard;
    if (unit == u':') return EntryFault::kColon;
    if (unit == u'/') return EntryFault::kSlash;
    if (unit < 0x20 || unit == 0x7F || unit == u'<' || unit == u'>' || unit == u'|' ||
        unit == u'"') {
      return EntryFault::kForbidden;
    }
  }
  const std::vector<LaunchText> parts = Parts(path);
  for (const LaunchText& part : parts) {
    if (part.empty()) return EntryFault::kEmptyPart;
    if (part == u"." || part == u"..") return EntryFault::kDotPart;
    if (part.back() == u'.' || part.back() == u' ') return EntryFault::kTrailingDot;
  }
  // The folder, a backslash and the entry, with room for the terminating zero.
  if (folderLength + 1 + path.size() >= MAX_PATH) return EntryFault::kTooLong;
  if (IsInstallersOwn(parts)) return EntryFault::kInstallersOwn;
  return EntryFault::kPlain;
}

Record ParseRecord(const std::vector<BYTE>& bytes, std::size_t folderLength) {
  Record record;
  record.state = RecordState::kUntrusted;
  std::vector<LaunchText> lines;
  if (!SplitLines(bytes, lines) || lines.empty()) return record;
  RecordState state = RecordState::kLegacy;
  if (lines.front() == kHeader) {
    if (lines.size() < 2) return record;
    const LaunchText end = lines.back();
    lines.erase(lines.begin());
    lines.pop_back();
    if (end != EndLine(lines)) return record;
    state = RecordState::kTrusted;
  }
  for (const LaunchText& line : lines) {
    if (CheckEntry(line, folderLength) != EntryFault::kPlain) return record;
  }
  record.state = state;
  record.entries = lines;
  return record;
}

std::vector<BYTE> RecordBytes(const std::vector<LaunchText>& entries) {
  std::vector<BYTE> bytes = {0xFF, 0xFE};
  AppendLine(bytes, kHeader);
  for (const LaunchText& entry : entries) AppendLine(bytes, entry);
  AppendLine(bytes, EndLine(entries));
  return bytes;
}

bool ParseOwnList(const std::vector<BYTE>& utf8, std::size_t folderLength,
                  std::vector<LaunchText>& entries) {
  entries.clear();
  LaunchText text;
  if (!DecodeUtf8(utf8, text)) return false;
  LaunchText line;
  for (char16_t unit : text + u"\n") {
    if (unit != u'\n') {
      line += unit;
    } else if (!line.empty()) {
      entries.push_back(line);
      line.clear();
    }
  }
  for (const LaunchText& entry : entries) {
    if (CheckEntry(entry, folderLength) != EntryFault::kPlain) {
      entries.clear();
      return false;
    }
  }
  return true;
}

bool ParseVersion(const LaunchText& text, std::vector<unsigned>& parts) {
  parts.assign(1, 0);
  bool digit = false;
  for (char16_t unit : text) {
    if (unit == u'.' && digit && parts.size() < 4) {
      parts.push_back(0);
      digit = false;
    } else if (unit >= u'0' && unit <= u'9' && parts.back() <= 6553 &&
               parts.back() * 10 + (unit - u'0') <= 65535) {
      parts.back() = parts.back() * 10 + static_cast<unsigned>(unit - u'0');
      digit = true;
    } else {
      parts.clear();
      return false;
    }
  }
  if (!digit) parts.clear();
  return digit;
}

bool CompareVersions(const LaunchText& a, const LaunchText& b, int& order) {
  std::vector<unsigned> first;
  std::vector<unsigned> second;
  if (!ParseVersion(a, first) || !ParseVersion(b, second)) return false;
  first.resize(4, 0);
  second.resize(4, 0);
  order = first < second ? -1 : (second < first ? 1 : 0);
  return true;
}
