#include "command_line.hpp"

#include <cwctype>

namespace neb::win32 {
namespace {

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

bool endsWithExe(std::wstring_view s) {
  if (s.size() < 4) return false;
  const std::wstring_view tail = s.substr(s.size() - 4);
  return tail[0] == L'.' && std::towlower(tail[1]) == L'e' && std::towlower(tail[2]) == L'x' &&
         std::towlower(tail[3]) == L'e';
}

}  // namespace

std::wstring_view argumentTextOf(std::wstring_view commandLine) {
  std::size_t i = 0;
  if (!commandLine.empty() && commandLine[0] == L'"') {
    const std::size_t close = commandLine.find(L'"', 1);
    i = close == std::wstring_view::npos ? commandLine.size() : close + 1;
  } else {
    while (i < commandLine.size() && !isBlank(commandLine[i])) ++i;
  }
  if (i < commandLine.size() && isBlank(commandLine[i])) ++i;
  return commandLine.substr(i);
}

std::wstring programFileOf(std::wstring_view commandLine, std::wstring_view directory) {
  if (directory.empty() || commandLine.substr(0, directory.size()) != directory) return {};
  std::size_t start = directory.size();
  if (directory.back() != L'\\') {
    if (start >= commandLine.size() || commandLine[start] != L'\\') return {};
    ++start;
  }
  // The file name itself holds no blank: it ends at the first one.
  std::size_t end = start;
  while (end < commandLine.size() && !isBlank(commandLine[end]) && commandLine[end] != L'\\' &&
         commandLine[end] != L'"')
    ++end;
  if (end < commandLine.size() && !isBlank(commandLine[end])) return {};
  const std::wstring_view file = commandLine.substr(0, end);
  if (end == start || !endsWithExe(file)) return {};
  return std::wstring(file);
}

std::wstring dialogFilter(std::wstring_view barSeparated) {
  std::wstring out(barSeparated);
  for (wchar_t& c : out)
    if (c == L'|') c = L'\0';
  out.push_back(L'\0');
  out.push_back(L'\0');
  return out;
}

}  // namespace neb::win32
