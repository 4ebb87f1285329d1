// The mode conversion table loaded from Mode.txt.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
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

private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  std::vector<Entry> entries_;
  // First entry of each HAMLOG mode, so a long table costs no more per QSO.
  std::unordered_map<std::string, std::size_t, Hash, std::equal_to<>> first_;
};

}  // namespace neb
