#include "mode_table.hpp"

#include <algorithm>
#include <vector>

#include "sjis.hpp"

namespace neb {

void ModeTable::load(std::string_view fileBytes) {
  std::vector<std::string_view> columns;
  for (const std::string_view line : sjis::lines(fileBytes)) {
    if (line.empty()) continue;

    columns.clear();
    for (std::size_t start = 0;;) {
      const std::size_t comma = line.find(',', start);
      if (comma == std::string_view::npos) {
        columns.push_back(line.substr(start));
        break;
      }
      columns.push_back(line.substr(start, comma - start));
      start = comma + 1;
    }
    const std::string_view converted = sjis::trim(columns[0]);
    if (converted.empty()) continue;
    const std::string convertedUpper = sjis::upper(converted);
    for (std::size_t k = 1; k < columns.size(); ++k)
      add(sjis::upper(sjis::trim(columns[k])), convertedUpper);
  }
}

void ModeTable::add(std::string hamlogMode, std::string convertedMode) {
  longest_ = std::max(longest_, convertedMode.size());
  first_.try_emplace(std::move(hamlogMode), std::move(convertedMode));
}

const std::string* ModeTable::lookup(std::string_view mode) const {
  const auto it = first_.find(mode);
  if (it == first_.end()) return nullptr;
  return &it->second;
}

}  // namespace neb
