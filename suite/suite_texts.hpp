// The suite layer's own texts, as Shift_JIS bytes.
#pragma once

#include <string_view>

namespace neb::msg {

// A file the user has made read-only: the reason of an IoError.
// 読み取り専用のファイルです
inline constexpr std::string_view readOnly =
    "\x93\xC7\x82\xDD\x8E\xE6\x82\xE8\x90\xEA\x97\x70\x82\xCC\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xC5\x82\xB7";

}  // namespace neb::msg
