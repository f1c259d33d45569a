#include "platform/text.h"

#include "tests/fake_windows/fake_test.h"

namespace {

using TextTest = FakeWindowsTest;

TEST_F(TextTest, PositionsAreOneBasedAndZeroMeansNotFound) {
  struct Row {
    LaunchText needle, hay;
    int from, expected;
  } rows[] = {
      {u"%1", u"", 1, 0},
      {u"", u"abc", 1, 0},
      {u"abcd", u"abc", 1, 0},
      {u"%1", u"-- \"%1\"", 1, 5},
      {u"a", u"a", 1, 1},
      {u"c", u"abc", 1, 3},
      {u"A", u"abc", 1, 0},  // case-sensitive
      {u"\"", u"\"C:\\b\\x.e\"x", 2, 10},
      {u"\"", u"\"only first", 2, 0},
      {u"\"", u"\"abc", 1, 1},
      {u"bc", u"abcbc", 3, 4},
      {u"bc", u"abcbc", 4, 4},
      {u"bc", u"abcbc", 5, 0},  // one unit left, two needed
      {u"c", u"abc", 4, 0},     // past the end
      {u"a", u"abc", 0, 0},     // from below 1
      {u"a", u"abc", -5, 0},
      {u"a", u"abc", 2147483647, 0},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(TextPosFrom(row.needle, row.hay, row.from), row.expected)
        << fake::Narrow(row.needle) << " in " << fake::Narrow(row.hay) << " from " << row.from;
    if (row.from == 1) EXPECT_EQ(TextPos(row.needle, row.hay), row.expected);
  }
}

TEST_F(TextTest, CopyClampsIndexAndCountWithoutShorteningTheCount) {
  struct Row {
    LaunchText s;
    int index, count;
    LaunchText expected;
  } rows[] = {
      {u"abcdef", 1, 0, u""},
      {u"abcdef", 0, 3, u"abc"},
      {u"abcdef", -7, 2, u"ab"},
      {u"abcdef", 7, 5, u""},
      {u"abcdef", 6, 5, u"f"},
      {u"abcdef", 2, 3, u"bcd"},
      {u"abcdef", 3, 100, u"cdef"},
      {u"abcdef", 2, -1, u""},
      {u"", 1, 1, u""},
      {u"abcdef", 2147483647, 2147483647, u""},
      {u"abcdef", 1, 2147483647, u"abcdef"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(TextCopy(row.s, row.index, row.count), row.expected)
        << fake::Narrow(row.s) << " " << row.index << "," << row.count;
  }
}

TEST_F(TextTest, EqualsComparesLengthAndEveryUnit) {
  EXPECT_TRUE(TextEquals(u"", u""));
  EXPECT_FALSE(TextEquals(u"", LaunchText(1, u'\0')));
  EXPECT_FALSE(TextEquals(u"abc", u"abC"));
  EXPECT_FALSE(TextEquals(u"ab", u"abc"));
  EXPECT_TRUE(TextEquals(u"a\0b", u"a\0b"));
}

TEST_F(TextTest, AsciiFoldLeavesEverythingButCapitalsAToZ) {
  EXPECT_EQ(FoldLowerAscii(u"@AZ[`az{ \u00C9\u0410"), u"@az[`az{ \u00C9\u0410");
  EXPECT_EQ(FoldLowerSystem(u"OPERA.EXE \u00C9\u0410"), u"opera.exe \u00E9\u0430");
  EXPECT_EQ(FoldLowerSystem(u""), u"");
}

TEST_F(TextTest, ReplaceAllNoCase) {
  struct Row {
    LaunchText s, pattern, replacement, expected;
  } rows[] = {
      {u"-- \"%1\"", u"%1", u"URL", u"-- \"URL\""},
      {u"%1 %1", u"%1", u"x", u"x x"},
      {u"%1%1", u"%1", u"%1", u"%1%1"},  // the replacement is never searched again
      {u"aaa", u"aa", u"b", u"ba"},      // matches do not overlap
      {u"Xy-xY-XY", u"xy", u"z", u"z-z-z"},
      {u"KeepCase %L rest", u"%l", u"!", u"KeepCase ! rest"},
      {u"abc", u"", u"x", u"abc"},
      {u"", u"%1", u"x", u""},
      {u"ab", u"abc", u"x", u"ab"},
      {u"a\u00E9b", u"\u00C9", u"e", u"aeb"},  // folds beyond ASCII through the system
      {LaunchText(u"a\0b", 3), LaunchText(u"\0b", 2), u"x", LaunchText(u"a\0b", 3)},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ReplaceAllNoCase(row.s, row.pattern, row.replacement), row.expected)
        << fake::Narrow(row.s) << " / " << fake::Narrow(row.pattern);
  }
}

}  // namespace
