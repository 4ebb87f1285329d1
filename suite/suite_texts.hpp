// The suite layer's own texts.
#pragma once

#include <string_view>

namespace neb::msg {

// A file the user has made read-only: the reason of an IoError, UTF-8 like
// the system's.
inline constexpr std::string_view readOnlyUtf8 = "読み取り専用のファイルです";

}  // namespace neb::msg
