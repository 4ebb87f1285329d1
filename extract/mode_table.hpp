// The mode conversion table loaded from Mode.txt.
#pragma once

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
  bool empty() const { return entries_.empty(); }

private:
  std::vector<Entry> entries_;
};

}  // namespace neb
