#include <gtest/gtest.h>

#include "platform/text.h"

namespace zen {
namespace {

TEST(Text, RoundTripsEveryPlane) {
    const std::string text = "Zo\xC3\xAB \xE6\x97\xA5 \xF0\x9F\x98\x80";
    const std::u16string wide = Utf8ToUtf16(text);
    EXPECT_EQ(wide, u"Zo\u00EB \u65E5 \U0001F600");
    EXPECT_EQ(Utf16ToUtf8(wide), text);
}

TEST(Text, IllFormedInputIsReplacedOrRefused) {
    struct Case {
        std::string utf8;
        std::u16string lenient;
    };
    const Case cases[] = {
        {"a\xC3", u"a\uFFFD"},                    // cut sequence
        {"\xC0\xAF", u"\uFFFD\uFFFD"},            // overlong form
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // encoded surrogate
        {"\xFF", u"\uFFFD"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.lenient);
        EXPECT_FALSE(Utf8ToUtf16Strict(c.utf8).has_value());
    }
    const std::u16string unpaired{u'a', char16_t(0xD800), u'b'};
    EXPECT_EQ(Utf16ToUtf8(unpaired),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_FALSE(Utf16ToUtf8Strict(unpaired).has_value());
}

TEST(Text, FixedFieldsAreCutAndZeroFilled) {
    char16_t field[6];
    std::fill(std::begin(field), std::end(field), u'x');
    SetFieldText(field, u"abcdefgh");
    EXPECT_EQ(FieldText(field), u"abcde");
    EXPECT_EQ(field[5], u'\0');
    SetFieldText(field, u"abc", 2);
    EXPECT_EQ(FieldText(field), u"ab");
    EXPECT_EQ(field[4], u'\0');
}

}  // namespace
}  // namespace zen
