#include "env_items.hpp"

#include "sjis.hpp"

namespace neb {

namespace {

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// Past one line end (CR LF, lone CR or lone LF) at pos.
std::size_t skipLineEnd(std::string_view s, std::size_t pos) {
  if (s[pos] == '\r' && pos + 1 < s.size() && s[pos + 1] == '\n') return pos + 2;
  return pos + 1;
}

}  // namespace

std::vector<std::string> splitEnvItems(std::string_view s) {
  std::vector<std::string> items;
  std::size_t pos = 0;
  bool afterComma = false;  // a line end right after a comma closes an empty item
  while (pos < s.size()) {
    while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
    if (pos >= s.size()) {
      if (afterComma) items.emplace_back();
      break;
    }
    if (isLineEnd(s[pos])) {
      if (afterComma) items.emplace_back();  // "#01," with nothing after it
      afterComma = false;
      pos = skipLineEnd(s, pos);
      continue;
    }
    std::string_view item;
    if (s[pos] == '"') {
      const std::size_t begin = pos + 1;
      std::size_t close = begin;
      while (close < s.size() && s[close] != '"' && !isLineEnd(s[close])) ++close;
      item = s.substr(begin, close - begin);
      pos = close < s.size() && s[close] == '"' ? close + 1 : close;
      // Anything between the closing quote and the separator is dropped.
      while (pos < s.size() && s[pos] != ',' && !isLineEnd(s[pos])) ++pos;
    } else {
      const std::size_t begin = pos;
      while (pos < s.size() && s[pos] != ',' && !isLineEnd(s[pos])) ++pos;
      item = sjis::trim(s.substr(begin, pos - begin));
    }
    items.emplace_back(item);
    afterComma = false;
    // A line end after the item is skipped by the next round.
    if (pos < s.size() && s[pos] == ',') {
      ++pos;
      afterComma = true;
    }
  }
  return items;
}

EnvItems readEnvItems(std::string_view fileBytes) {
  EnvItems env;
  const std::vector<std::string> items = splitEnvItems(fileBytes);
  for (std::size_t i = 0; i < items.size(); ++i) {
    const std::string& item = items[i];
    if (item == "#01") {
      // The item taken as the path is not examined on its own.
      if (i + 1 < items.size()) env.hamlogPath = items[++i];
      continue;
    }
    if (!item.empty() && item[0] == '$' && item.compare(0, 3, "$JD") != 0 &&
        env.areaPrefixes.size() < kMaxAreaPrefixes) {
      env.areaPrefixes.emplace_back(sjis::left(std::string_view(item).substr(1), 2));
    }
  }
  return env;
}

}  // namespace neb
