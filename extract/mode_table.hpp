// The mode conversion table loaded from Mode.txt.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace neb {

class ModeTable {
public:
  struct Entry {
    std::string hamlogMode;     // upper case, Shift_JIS
    std::string convertedMode;  // upper case, Shift_JIS
  };

  // Loading rules of Mode.txt over the file's bytes; adds to what is there.
  void load(std::string_view fileBytes);
  void add(std::string hamlogMode, std::string convertedMode);
  // The converted mode of the first entry equal to mode; nullptr when none.
  const std::string* lookup(std::string_view mode) const;

  const std::vector<Entry>& entries() const { return entries_; }
  // Bytes of the longest converted mode.
  std::size_t longestConversion() const { return longest_; }

private:
  std::vector<Entry> entries_;
  // The first entry of each HAMLOG mode. Ordered: a few comparisons of short
  // keys cost a QSO less than hashing its mode.
  std::map<std::string, std::size_t, std::less<>> first_;
  std::size_t longest_ = 0;
};

}  // namespace neb
