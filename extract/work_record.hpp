// One line of the work file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hamlog_database.hpp"
#include "mode_table.hpp"

namespace neb {

// One work-file line: the 20 quoted fields of a QSO, built in a single pass
// straight from the decoded QSO. Field 1 "NEBWD"; 2-11 the trimmed texts
// (3 after the area suffix conversion, when areaPrefixes is given, and the
// "Q" rule; 7 after the mode conversion, when modes is given); 12 and 13 the
// date and time without separators; 14 and 15 the reports as they are; 16-18
// the trimmed companion texts; 19 the QSO number in 10 digits; 20 the
// trimmed full call. Fields 2-18 have their quote characters cleaned.
class WorkLine {
public:
  WorkLine(const QsoView& qso, std::int32_t n, const std::vector<std::string>* areaPrefixes,
           const ModeTable* modes);
  WorkLine(const WorkLine&) = delete;
  WorkLine& operator=(const WorkLine&) = delete;
  // Bytes write() needs at most.
  std::size_t maxSize() const { return maxSize_; }
  // Writes the line at out; returns its end.
  char* write(char* out) const;

private:
  std::array<std::string_view, 20> fields_;  // uncleaned; 12, 13 and 19 in the buffers below
  char date_[8];
  char time_[5];
  char number_[16];
  std::size_t maxSize_ = 0;
};

}  // namespace neb
