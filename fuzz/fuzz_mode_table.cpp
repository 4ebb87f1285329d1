// Mode.txt loading over arbitrary bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "mode_table.hpp"
#include "sjis.hpp"

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

bool isTrimmed(std::string_view s) { return neb::sjis::trim(s).size() == s.size(); }

// Entries the loading rules give: per line (CR LF or lone CR ends it), one per
// column after the first, when the first column is not blank.
std::size_t expectedEntries(std::string_view bytes) {
  std::size_t total = 0;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\r', start);
    if (end == std::string_view::npos) end = bytes.size();
    const std::string_view line = bytes.substr(start, end - start);
    const std::size_t comma = line.find(',');
    if (comma != std::string_view::npos && !neb::sjis::trim(line.substr(0, comma)).empty()) {
      for (char c : line) total += c == ',' ? 1 : 0;
    }
    start = end + 1;
    if (end < bytes.size() && start < bytes.size() && bytes[start] == '\n') ++start;
  }
  return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  neb::ModeTable table;
  table.load(bytes);

  if (table.entries().size() != expectedEntries(bytes)) fail("entry count differs from the lines");
  for (const auto& e : table.entries()) {
    if (e.convertedMode.empty()) fail("entry with a blank converted mode");
    if (!isTrimmed(e.convertedMode) || !isTrimmed(e.hamlogMode)) fail("column not trimmed");
    if (neb::sjis::upper(e.convertedMode) != e.convertedMode ||
        neb::sjis::upper(e.hamlogMode) != e.hamlogMode)
      fail("column not upper case");
    if (table.lookup(e.hamlogMode) == nullptr) fail("an entry's own mode is not found");
  }
  // Loading adds to what is there.
  const std::size_t before = table.entries().size();
  table.load(bytes);
  if (table.entries().size() != 2 * before) fail("second load did not add the same entries");
  return 0;
}
