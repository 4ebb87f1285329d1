// Builds small HAMLOG record and companion files for the tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace neb::testing {

struct TestQso {
  std::string call = "JA1AB";
  std::string portable;
  std::string frequency = "7";  // text form, up to 4 characters
  std::string mode = "CW";
  std::string text1, text2, text3;  // companion texts; all empty: no block
  unsigned char year = 124, month = 5, day = 7, hour = 9, minute = 5;
};

class DbsBuilder {
public:
  DbsBuilder() : dbs_(449, '\0'), dbr_(16, '\0') { dbs_.replace(0, 4, "HLG "); }

  DbsBuilder& add(const TestQso& q) {
    std::string r(58, ' ');
    r[0] = ' ';
    put(r, 1, 7, q.call);
    put(r, 8, 3, q.portable);
    put(r, 23, 4, q.frequency);
    put(r, 27, 3, q.mode);
    r[45] = static_cast<char>(q.year);
    r[46] = static_cast<char>(q.month);
    r[47] = static_cast<char>(q.day);
    r[48] = static_cast<char>(q.hour);
    r[49] = static_cast<char>(q.minute);
    r[50] = 59;
    r[51] = ' ';
    r[52] = 59;
    r[53] = ' ';
    std::uint32_t ptr = 0;
    if (!q.text1.empty() || !q.text2.empty() || !q.text3.empty()) {
      ptr = static_cast<std::uint32_t>(dbr_.size());
      dbr_ += static_cast<char>(q.text1.size());
      dbr_ += static_cast<char>(q.text2.size());
      dbr_ += static_cast<char>(q.text3.size());
      dbr_ += q.text1 + q.text2 + q.text3;
    }
    for (int i = 0; i < 4; ++i) r[static_cast<std::size_t>(54 + i)] = static_cast<char>((ptr >> (8 * i)) & 0xFF);
    dbs_ += r;
    ++count_;
    setCount(count_);
    return *this;
  }

  // Many distinct QSOs.
  DbsBuilder& addMany(int n) {
    for (int i = 0; i < n; ++i) {
      TestQso q;
      q.call = "JA" + std::to_string(1 + i % 9) + "X" + std::to_string(i % 1000);
      q.portable = (i % 3 == 0) ? "JA1" : "";
      q.frequency = (i % 2) ? "7" : "14";
      q.minute = static_cast<unsigned char>(i % 60);
      q.text1 = "note " + std::to_string(i);
      q.text2 = (i % 5 == 0) ? "$DX" : "";
      add(q);
    }
    return *this;
  }

  // The header's count, whatever the records present.
  DbsBuilder& setCount(std::uint32_t n) {
    dbs_[4] = static_cast<char>(n & 0xFF);
    dbs_[5] = static_cast<char>((n >> 8) & 0xFF);
    dbs_[6] = static_cast<char>((n >> 16) & 0xFF);
    return *this;
  }

  const std::string& dbs() const { return dbs_; }
  const std::string& dbr() const { return dbr_; }

private:
  static void put(std::string& r, std::size_t at, std::size_t width, std::string_view text) {
    r.replace(at, width, std::string(text.substr(0, width)) + std::string(width - std::min(width, text.size()), ' '));
  }
  std::string dbs_;
  std::string dbr_;
  std::uint32_t count_ = 0;
};

}  // namespace neb::testing
