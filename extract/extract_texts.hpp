// The texts the extraction run shows, as Shift_JIS bytes; the Japanese
// beside each literal is the same text in UTF-8.
#pragma once

#include <string_view>

namespace neb::msg {

// "HAMLOG のレコードファイルが途中で終わっています。"
inline constexpr std::string_view recordFileEnded =
    "HAMLOG \x82\xCC\x83\x8C\x83\x52\x81\x5B\x83\x68\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA"
    "\x93\x72\x92\x86\x82\xC5\x8F\x49\x82\xED\x82\xC1\x82\xC4\x82\xA2\x82\xDC\x82\xB7\x81\x42";
// "ヘッダーの件数 "
inline constexpr std::string_view headerCount =
    "\x83\x77\x83\x62\x83\x5F\x81\x5B\x82\xCC\x8C\x8F\x90\x94 ";
// " 件のうち "
inline constexpr std::string_view countOf = " \x8C\x8F\x82\xCC\x82\xA4\x82\xBF ";
// " 件を書き出しました"
inline constexpr std::string_view countWritten =
    " \x8C\x8F\x82\xF0\x8F\x91\x82\xAB\x8F\x6F\x82\xB5\x82\xDC\x82\xB5\x82\xBD";


}  // namespace neb::msg
