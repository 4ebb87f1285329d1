#include <gtest/gtest.h>

#include "sjis.hpp"
#include "text_codec.hpp"

namespace neb::test {
namespace {

// 交 = 8C F0; ｱ (half-width katakana) = B1, one byte.
const std::string kKanji = "\x8C\xF0";

TEST(Sjis, CountsCharactersNotBytes) {
  struct Case {
    std::string s;
    std::size_t length;
    std::string left2, dropRight3, char3;
  };
  const Case cases[] = {
      {"ABCD", 4, "AB", "A", "C"},
      {kKanji + "A" + kKanji, 3, kKanji + "A", "", kKanji},
      {"\xB1\xB2\xB3" "A", 4, "\xB1\xB2", "\xB1", "\xB3"},
      // A lead byte without a valid trail is a character of its own.
      {"\x81 \x81", 3, "\x81 ", "", "\x81"},
      {"\x81\x7F" "B", 3, "\x81\x7F", "", "B"},
      {"", 0, "", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sjis::length(c.s), c.length) << c.s;
    EXPECT_EQ(sjis::left(c.s, 2), c.left2) << c.s;
    EXPECT_EQ(sjis::dropRight(c.s, 3), c.dropRight3) << c.s;
    EXPECT_EQ(sjis::charAt(c.s, 3), c.char3) << c.s;
  }
}

#ifdef _WIN32
const NativeString kEmoji = L"a\U0001F600b";
const NativeString kYen = L"\u00A5";
#else
const NativeString kEmoji = "a\xF0\x9F\x98\x80" "b";
const NativeString kYen = "\xC2\xA5";
#endif

TEST(TextCodec, StrictConversionRefusesWhatItCannotHold) {
  const std::string sjis = "\x8C\xF0\x90\x4D \xB1\x5C";  // 交信 ｱ and a backslash
  const auto native = sjisToNative(sjis);
  ASSERT_TRUE(native.has_value());
  EXPECT_EQ(nativeToUtf8(*native), "\xE4\xBA\xA4\xE4\xBF\xA1 \xEF\xBD\xB1\\");
  EXPECT_EQ(nativeToSjis(*native), sjis);
  EXPECT_EQ(nativeToSjis(kEmoji), std::nullopt);
  EXPECT_EQ(nativeToSjis(kYen), std::nullopt);  // never a best-fit stand-in
  EXPECT_EQ(sjisToNative("a\x81"), std::nullopt);
  EXPECT_EQ(sjisToPath("a\x81"), std::nullopt);
}

TEST(TextCodec, LossyConversionSpoilsOnlyTheBadCharacter) {
  EXPECT_EQ(sjisToUtf8Lossy("a\x81 b"), "a\xEF\xBF\xBD b");
  EXPECT_EQ(nativeToSjisLossy(kEmoji).front(), 'a');
  EXPECT_EQ(nativeToSjisLossy(kEmoji).back(), 'b');
  EXPECT_NE(nativeToSjisLossy(kEmoji).find('?'), std::string::npos);
}

}  // namespace
}  // namespace neb::test
