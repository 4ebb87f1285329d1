// The texts of a failed file operation, as Shift_JIS bytes; the Japanese
// beside each literal is the same text in UTF-8.
#pragma once

#include <string_view>

namespace neb::msg {

// IoError: "<file> を<operation>できません: <reason>"
inline constexpr std::string_view ioObject = " \x82\xF0";                           // " を"
inline constexpr std::string_view ioCannot = "\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1: ";  // "できません: "
inline constexpr std::string_view opOpen = "\x83\x49\x81\x5B\x83\x76\x83\x93";      // "オープン"
inline constexpr std::string_view opRead = "\x93\xC7\x82\xDD\x8D\x9E\x82\xDD";      // "読み込み"
inline constexpr std::string_view opWrite = "\x8F\x91\x82\xAB\x8D\x9E\x82\xDD";     // "書き込み"
inline constexpr std::string_view opCreate = "\x8D\xEC\x90\xAC";                    // "作成"
inline constexpr std::string_view opReplace = "\x92\x75\x82\xAB\x8A\xB7\x82\xA6";   // "置き換え"
inline constexpr std::string_view opRemove = "\x8D\xED\x8F\x9C";                    // "削除"
inline constexpr std::string_view opStart = "\x8B\x4E\x93\xAE";                     // "起動"

// A replacement in place whose durability could not be confirmed:
// "<file> は新しい内容に置き換えましたが、ディスクへの書き込みを確認できません: <reason>"
inline constexpr std::string_view ioUnconfirmed =
    "\x20\x82\xCD\x90\x56\x82\xB5\x82\xA2\x93\xE0\x97\x65\x82\xC9\x92\x75\x82\xAB\x8A\xB7\x82\xA6\x82\xDC"
    "\x82\xB5\x82\xBD\x82\xAA\x81\x41\x83\x66\x83\x42\x83\x58\x83\x4E\x82\xD6\x82\xCC\x8F\x91\x82\xAB\x8D\x9E"
    "\x82\xDD\x82\xF0\x8A\x6D\x94\x46\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x3A\x20";
// A whole text left under another name, on the next line:
// "ファイルの内容は <file> に残っています"
inline constexpr std::string_view keptAt = "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xCC\x93\xE0\x97\x65\x82\xCD\x20";
inline constexpr std::string_view keptAtEnd = "\x20\x82\xC9\x8E\x63\x82\xC1\x82\xC4\x82\xA2\x82\xDC\x82\xB7";

// Our own reasons of an IoError.
// A temporary work file that another extraction holds: "ほかの抽出処理が使用中です"
inline constexpr std::string_view inUse =
    "\x82\xD9\x82\xA9\x82\xCC\x92\x8A\x8F\x6F\x8F\x88\x97\x9D\x82\xAA\x8E\x67\x97\x70\x92\x86\x82\xC5\x82\xB7";
// A system error code without a text of the system's: "エラー 5"
inline constexpr std::string_view errorCode = "\x83\x47\x83\x89\x81\x5B ";

}  // namespace neb::msg
