// CP932 by Windows' own code page, with the contract the tool has on Linux:
// the expected bytes and characters are what glibc's CP932 gives there,
// except where noted.
#include "platform/win/CodePage932.h"

#include "WinTestSupport.h"

#include <gtest/gtest.h>

using zelt::win::fromCodePage932;
using zelt::win::toCodePage932;
using namespace zelt::wintest;

namespace {

TEST(CodePage932, Encoding)
{
    const struct {
        std::u16string text;
        std::string bytes;
    } rows[] = {
        {u"↓", "\x81\xAB"},
        {u"時間不整合", "\x8E\x9E\x8A\xD4\x95\x73\x90\xAE\x8D\x87"},
        {u"Start Year=2024 @1G=10", "Start Year=2024 @1G=10"},
        {u"ｱﾞ", "\xB1\xDE"},                                  // half-width katakana
        {u"①Ⅰ㈱髙", "\x87\x40\x87\x54\x87\x8A\xFB\xFC"},     // the vendors' extensions
        {u"～", "\x81\x60"},
        {u"a€b", "a?b"},                                       // not in CP932
        {u"a\U0001F600b", "a?b"},                              // a pair: one character
        {std::u16string{u'a', char16_t(0xD800), u'b'}, "a?b"}, // an unpaired surrogate
        {std::u16string{u'a', char16_t(0xDC00)}, "a?"},
        {u"é", "?"},                                           // no best fit: not 'e'
        {u"〜", "?"},  // WAVE DASH: glibc maps it one way to 0x8160, Windows has none
        {u"", ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(toCodePage932(row.text), row.bytes) << utf8(row.text);
}

TEST(CodePage932, DecodingGoesOnAfterAnInvalidByte)
{
    const struct {
        std::string bytes;
        std::u16string text;
    } rows[] = {
        {"\x81\xAB", u"↓"},
        {"\xB1\xDE", u"ｱﾞ"},
        {"\x81\x60", u"～"},
        {"\xF0\x40", u"\uE000"},             // user-defined area: private use
        {"\x81", u"\uFFFD"},                 // a lead byte at the end
        {"\x81" "024", u"\uFFFD" u"024"},    // a lead byte before digits
        {"\x85\x40", u"\uFFFD@"},            // an unassigned pair
        {"\x80", u"\uFFFD"},
        {"\xA0", u"\uFFFD"},
        {"\xFD\xFE\xFF", u"\uFFFD\uFFFD\uFFFD"},
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
        {"", u""},
    };
    for (const auto& row : rows) {
        const std::u16string text = fromCodePage932(row.bytes);
        EXPECT_TRUE(text == row.text) << utf8(text) << " for " << utf8(row.text);
    }
}

TEST(CodePage932, TheToolsTextsComeBackWhole)
{
    const std::u16string texts[] = {u"データ数不具合 ℃ ～", u"接<->続", u"今すぐ開始", u"予約時間", u"計算結果",
                                    u"//↓Irregular Record //"};
    for (const std::u16string& text : texts)
        EXPECT_TRUE(fromCodePage932(toCodePage932(text)) == text) << utf8(text);
}

}  // namespace
