// The word rule applied to path lists: the separator is a parameter, double quotes protect it.
#include <gtest/gtest.h>

#include "launcher/launcher.h"

namespace tavrelo {
namespace {

using Words = std::vector<Text>;

TEST(SplitWordsAt, PathListsSplitAtTheirSeparatorOutsideQuotes) {
    EXPECT_EQ(splitWordsAt(u"/a/x.jar:/b/y.jar", u':'), (Words{u"/a/x.jar", u"/b/y.jar"}));
    // Spaces belong to the element; runs of separators and ends give no empty elements.
    EXPECT_EQ(splitWordsAt(u"::/my dir/x.jar:::b.jar:", u':'), (Words{u"/my dir/x.jar", u"b.jar"}));
    EXPECT_EQ(splitWordsAt(u"\"/odd:name/x.jar\":b.jar", u':'), (Words{u"/odd:name/x.jar", u"b.jar"}));
    EXPECT_EQ(splitWordsAt(u"C:\\a.jar;\"C:\\b;c.jar\";d.zip\"", u';'),
              (Words{u"C:\\a.jar", u"C:\\b;c.jar", u"d.zip"}));
    EXPECT_EQ(splitWordsAt(u"", u';'), Words{});
    EXPECT_EQ(splitWordsAt(u";;", u';'), Words{});
    // The space rule is the same one.
    EXPECT_EQ(splitWordsAt(u" a  \"b c\" ", u' '), splitWords(u" a  \"b c\" "));
}

} // namespace
} // namespace tavrelo
