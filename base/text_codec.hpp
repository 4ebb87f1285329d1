// Conversion between Shift_JIS (code page 932) and the platform's own text.
// Used only at the edges: file names handed to the operating system, console
// output and the window. Inside the engine every text stays Shift_JIS bytes.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace neb {

#ifdef _WIN32
using NativeString = std::wstring;  // UTF-16
using NativeChar = wchar_t;
#define NEB_NATIVE(s) L##s
#else
using NativeString = std::string;  // UTF-8
using NativeChar = char;
#define NEB_NATIVE(s) s
#endif

using Path = std::filesystem::path;

// nullopt when the bytes are not valid code page 932.
std::optional<NativeString> sjisToNative(std::string_view sjis);
// nullopt when some character has no code page 932 form (never a "?" stand-in).
std::optional<std::string> nativeToSjis(const NativeString& text);

// For display: the one rule for what does not convert. Each Shift_JIS
// character that is not valid code page 932 becomes one U+FFFD, and each
// character without a code page 932 form one "?" (never a best-fit
// look-alike); nothing is dropped, so a text keeps its length in characters.
NativeString sjisToNativeLossy(std::string_view sjis);
std::string sjisToUtf8Lossy(std::string_view sjis);
std::string nativeToUtf8(const NativeString& text);
NativeString utf8ToNative(std::string_view utf8);
std::string nativeToSjisLossy(const NativeString& text);

// A path from Shift_JIS bytes; nullopt when they cannot name a file here.
std::optional<Path> sjisToPath(std::string_view sjis);
// A path for messages, in Shift_JIS (lossy).
std::string pathToSjisLossy(const Path& path);

}  // namespace neb
