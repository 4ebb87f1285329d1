// One line of the work file and the steps that build it from a QSO.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hamlog_database.hpp"
#include "mode_table.hpp"

namespace neb {

// The 20 fields of one work-file line, Shift_JIS, numbered 1 to 20.
struct WorkRecord {
  std::array<std::string, 20> fields;
  std::string& operator[](int n) { return fields[static_cast<std::size_t>(n - 1)]; }
  const std::string& operator[](int n) const { return fields[static_cast<std::size_t>(n - 1)]; }
};

// Fields 2-18 and 20 from the QSO (field 3 and 7 only trimmed).
void fillFields(WorkRecord& work, const QsoRecord& qso);
// Check1: field 3 of exactly 3 characters against every prefix in order.
void convertAreaSuffix(WorkRecord& work, const std::vector<std::string>& areaPrefixes);
// Check2: first table entry equal to field 7 replaces it.
void convertMode(WorkRecord& work, const ModeTable& modes);
// Quote cleaning of fields 2-18, then field 1 ("NEBWD") and field 19 (n, 10 digits).
void cleanAndNumber(WorkRecord& work, std::int32_t n);
// Field 3 of exactly "Q" becomes empty.
void applyQRule(WorkRecord& work);
// Appends the 20 quoted fields and CR LF.
void appendLine(std::string& out, const WorkRecord& work);

// The line of one QSO built in a single pass, straight from the QsoRecord:
// the same bytes as fillFields, convertAreaSuffix (when areaPrefixes is
// given), convertMode (when modes is given), cleanAndNumber, applyQRule and
// appendLine, without the WorkRecord copies.
class WorkLine {
public:
  WorkLine(const QsoView& qso, std::int32_t n, const std::vector<std::string>* areaPrefixes,
           const ModeTable* modes);
  WorkLine(const QsoRecord& qso, std::int32_t n, const std::vector<std::string>* areaPrefixes,
           const ModeTable* modes)
      : WorkLine(viewOf(qso), n, areaPrefixes, modes) {}
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

// Appends the WorkLine of a QSO.
void appendWorkLine(std::string& out, const QsoRecord& qso, std::int32_t n,
                    const std::vector<std::string>* areaPrefixes, const ModeTable* modes);

}  // namespace neb
