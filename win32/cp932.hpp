// Shift_JIS (code page 932) <-> UTF-16 at the window's edge. Always code
// page 932, never the system's ANSI code page, so that Japanese texts come out
// right on a Windows of any language.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace neb::win32 {

// Bytes that are not valid Shift_JIS become U+FFFD; nothing is dropped.
std::wstring sjisToWide(std::string_view sjis);

// nullopt when a character has no code page 932 form; no best-fit stand-ins.
std::optional<std::string> wideToSjis(std::wstring_view text);

// For the ANSI entry points that want Shift_JIS (WinHelpA): characters
// without a code page 932 form become '?'.
std::string wideToSjisLossy(std::wstring_view text);

}  // namespace neb::win32
