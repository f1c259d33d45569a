// Text operations whose edge behaviour decides what the launcher does: where a placeholder counts
// as present, how an open command is cut, which image names match. Positions are 1-based; 0 means
// "not found".
#pragma once

#include <vector>

#include "platform/launch_text.h"

// First occurrence of `needle` in `hay`, case-sensitive; 0 when either is "" or there is none.
int TextPos(const LaunchText& needle, const LaunchText& hay);

// As TextPos, counting only occurrences that start at `from` or later.
int TextPosFrom(const LaunchText& needle, const LaunchText& hay, int from);

// Up to `count` units of `s` from position `index`; an index below 1 counts as 1.
LaunchText TextCopy(const LaunchText& s, int index, int count);

bool TextEquals(const LaunchText& a, const LaunchText& b);

// Lower-cases 'A' to 'Z' only.
LaunchText FoldLowerAscii(LaunchText s);

// Lower-cases with the system's Unicode case mapping (CharLowerBuffW); the length never changes.
LaunchText FoldLowerSystem(LaunchText s);

// Replaces every occurrence of `pattern`, ignoring case (CharUpperBuffW on both sides). Matches do
// not overlap, the replacement is never searched again, and the rest keeps its case.
LaunchText ReplaceAllNoCase(const LaunchText& s, const LaunchText& pattern,
                            const LaunchText& replacement);

// UTF-8, zero-terminated; a lone surrogate becomes U+FFFD. In a vector, not a std::string: the
// shipped programs have no other use for std::string, and that class alone would add its whole
// instantiation from the static runtime to the executable.
std::vector<char> EncodeUtf8(const LaunchText& text);
