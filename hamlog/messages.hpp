// Every text the engine shows to the user, as Shift_JIS bytes. The Japanese
// beside each literal is the same text in UTF-8.
#pragma once

#include <string_view>

namespace neb::msg {

// "  が　見つかりません" after the file name (two blanks, ideographic space
// after が)
inline constexpr std::string_view notFound =
    "  \x82\xAA\x81\x40\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1";

// "交信番号 "
inline constexpr std::string_view qsoNumberPrefix = "\x8C\xF0\x90\x4D\x94\xD4\x8D\x86 ";
// " の交信周波数は 無効です"
inline constexpr std::string_view frequencyInvalid =
    " \x82\xCC\x8C\xF0\x90\x4D\x8E\xFC\x94\x67\x90\x94\x82\xCD \x96\xB3\x8C\xF8\x82\xC5\x82\xB7";
// " の交信周波数が変です"
inline constexpr std::string_view frequencyOdd =
    " \x82\xCC\x8C\xF0\x90\x4D\x8E\xFC\x94\x67\x90\x94\x82\xAA\x95\xCF\x82\xC5\x82\xB7";
// " MHz と判断しました"
inline constexpr std::string_view frequencyAssumed =
    " MHz \x82\xC6\x94\xBB\x92\x66\x82\xB5\x82\xDC\x82\xB5\x82\xBD";

// The HAMLOG file's own reason of an IoError: a record file too short to
// hold its count. "HAMLOG のヘッダーより短いファイルです"
inline constexpr std::string_view headerTooShort =
    "HAMLOG \x82\xCC\x83\x77\x83\x62\x83\x5F\x81\x5B\x82\xE6\x82\xE8\x92\x5A\x82\xA2\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xC5\x82\xB7";

}  // namespace neb::msg
