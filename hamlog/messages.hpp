// Every text the engine shows to the user, as Shift_JIS bytes. The Japanese
// beside each literal is the same text in UTF-8.
#pragma once

#include <string_view>

namespace neb::msg {

// "DBS  が　見つかりません" (two blanks, ideographic space after が)
inline constexpr std::string_view dbsNotFound =
    "DBS  \x82\xAA\x81\x40\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
// "DBR  が　見つかりません"
inline constexpr std::string_view dbrNotFound =
    "DBR  \x82\xAA\x81\x40\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1";

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

// IoError: "<file> を<operation>できません: <reason>"
inline constexpr std::string_view ioObject = " \x82\xF0";                           // " を"
inline constexpr std::string_view ioCannot = "\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1: ";  // "できません: "
inline constexpr std::string_view opOpen = "\x83\x49\x81\x5B\x83\x76\x83\x93";      // "オープン"
inline constexpr std::string_view opRead = "\x93\xC7\x82\xDD\x8D\x9E\x82\xDD";      // "読み込み"
inline constexpr std::string_view opWrite = "\x8F\x91\x82\xAB\x8D\x9E\x82\xDD";     // "書き込み"
inline constexpr std::string_view opCreate = "\x8D\xEC\x90\xAC";                    // "作成"
inline constexpr std::string_view opReplace = "\x92\x75\x82\xAB\x8A\xB7\x82\xA6";   // "置き換え"
inline constexpr std::string_view opRemove = "\x8D\xED\x8F\x9C";                    // "削除"

// The program's own reasons of an IoError, UTF-8 like the system's.
// A record file too short to hold its count.
inline constexpr std::string_view headerTooShortUtf8 = "HAMLOG のヘッダーより短いファイルです";
// A file the user has made read-only.
inline constexpr std::string_view readOnlyUtf8 = "読み取り専用のファイルです";
// A temporary work file that another extraction holds.
inline constexpr std::string_view inUseUtf8 = "ほかの抽出処理が使用中です";
// A system error code without a text of the system's ("エラー 5").
inline constexpr std::string_view errorCodeUtf8 = "エラー ";

}  // namespace neb::msg
