// The text helpers with the system's real case mapping, under Wine.
#include "platform/text.h"

#include <gtest/gtest.h>

namespace {

TEST(TextOnWindows, SystemFoldsAccentedCapitalsAsciiFoldDoesNot) {
  EXPECT_EQ(FoldLowerSystem(u"\u00C9DGE.EXE \u0410\u0411"), u"\u00E9dge.exe \u0430\u0431");
  EXPECT_EQ(FoldLowerAscii(u"\u00C9DGE.EXE"), u"\u00C9dge.exe");
  EXPECT_EQ(FoldLowerSystem(u"stra\u00DFe"), u"stra\u00DFe") << "one unit to one unit";
  LaunchText withZero(u"A\0B", 3);
  EXPECT_EQ(FoldLowerSystem(withZero), LaunchText(u"a\0b", 3)) << "embedded zeros do not stop it";
}

TEST(TextOnWindows, ReplaceIgnoresCaseThroughTheSystemMapping) {
  EXPECT_EQ(ReplaceAllNoCase(u"-url \u00E9%1 %1", u"\u00C9%1", u"X"), u"-url X %1");
  EXPECT_EQ(ReplaceAllNoCase(u"i%1I", u"I%1", u"_"), u"_I") << "no language-specific dotless i";
}

}  // namespace
