// The mode conversion table loaded from Mode.txt.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace neb {

class ModeTable {
public:
  // Loading rules of Mode.txt over the file's bytes; adds to what is there.
  void load(std::string_view fileBytes);
  // Modes in upper case, Shift_JIS.
  void add(std::string hamlogMode, std::string convertedMode);
  // The converted mode of the first entry equal to mode; nullptr when none.
  const std::string* lookup(std::string_view mode) const;

  // Bytes of the longest converted mode.
  std::size_t longestConversion() const { return longest_; }

private:
  // The converted mode of each HAMLOG mode's first entry. Ordered: a few
  // comparisons of short keys cost a QSO less than hashing its mode.
  std::map<std::string, std::string, std::less<>> first_;
  std::size_t longest_ = 0;
};

}  // namespace neb
