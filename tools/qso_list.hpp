// The QSO list: a tab-separated text, one QSO per line, read byte for byte
// (texts are Shift_JIS as they stand). Empty lines and lines that begin with
// "#" are skipped; a line may end in LF or CR LF.
//
// Columns, in this order (trailing columns may be left off):
//   1 call   2 portable   3 short text 1   4 short text 2
//   5 frequency: "text:7" (text form, up to 4 characters; a bare value means
//     the same), "mhz:7.050" (packed), "packed:N/L/P", "hex:8A1B00A1" (raw)
//   6 mode   7 long text   8 flags (up to 3 one-byte flags)
//   9 date: "2004-07-05", or raw bytes "104/7/5"
//  10 time: "09:05" (JST), "09:05U" (UTC), or raw bytes "9/133"
//  11 report 1, 12 report 2: "59" (no extra character), or "59/57" with the
//     extra byte's value
//  13-15 companion texts 1-3
//  16 text pointer (decimal, may be negative); empty means "write a block"
// Escapes in every column: \xHH for any byte, \t for a tab, \\ for "\".
#pragma once

#include <string_view>
#include <vector>

#include "hamlog_gen.hpp"

namespace neb::gen {

// Throws GenError naming the line.
std::vector<GenQso> parseQsoList(std::string_view text);

}  // namespace neb::gen
