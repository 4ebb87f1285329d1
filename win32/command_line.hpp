// Pure text rules of the platform layer, kept apart from the API calls so
// they can be tested on their own.
#pragma once

#include <string>
#include <string_view>

namespace neb::win32 {

// The argument text of a full command line: the program's name (quoted or
// not) is skipped, then exactly one blank; the rest comes back unchanged.
std::wstring_view argumentTextOf(std::wstring_view commandLine);

// The program file a command line starts, when that command line begins with
// directory followed by "\" (or at a root, directly) and names an .exe there;
// empty otherwise. Lets CreateProcess take the file by name instead of
// guessing at blanks in an unquoted path.
std::wstring programFileOf(std::wstring_view commandLine, std::wstring_view directory);

// "description|pattern|..." to the double-NUL-terminated list of the Open
// dialog.
std::wstring dialogFilter(std::wstring_view barSeparated);

}  // namespace neb::win32
