// Native strings (UTF-16 on Windows, UTF-8 elsewhere) counted in characters,
// as paths and command lines need them. A character is one code unit on Windows and
// one code point elsewhere, so a UTF-8 sequence is never split.
#pragma once

#include <cstddef>
#include <string_view>

#include "text_codec.hpp"

namespace neb {

// The one path separator, also as a literal for texts built at compile time.
#ifdef _WIN32
#define NEB_PATH_SEPARATOR "\\"
#else
#define NEB_PATH_SEPARATOR "/"
#endif
inline constexpr char kPathSeparator = NEB_PATH_SEPARATOR[0];
inline constexpr NativeChar kSeparator = static_cast<NativeChar>(kPathSeparator);

// ASCII text (file names, fixed parts of command lines) as a native string.
NativeString nativeAscii(std::string_view ascii);

std::size_t charCount(const NativeString& s);
// s without its first character (empty when s has none).
NativeString dropFirstChar(const NativeString& s);
// s without its last n characters (empty when it has n or fewer).
NativeString dropLastChars(const NativeString& s, std::size_t n);
// Leading and trailing blanks (0x20) removed.
NativeString trimBlanks(const NativeString& s);

}  // namespace neb
