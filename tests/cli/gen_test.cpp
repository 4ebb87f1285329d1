// The generator must put every byte where the decoder looks for it; a wrong
// offset here would make every other test of the extractor meaningless.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "hamlog_gen.hpp"
#include "qso_list.hpp"
#include "random_log.hpp"

namespace fs = std::filesystem;
using namespace neb::gen;

namespace {

std::string readBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

unsigned u8(const std::string& s, std::size_t at) { return static_cast<unsigned char>(s.at(at)); }

std::int32_t le32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | u8(s, at + static_cast<std::size_t>(i));
  return static_cast<std::int32_t>(v);
}

// The frequency text as the reader builds it from the four bytes.
std::string decodeFrequency(const FrequencyBytes& b) {
  if (b[3] <= 128) return std::string(b.begin(), b.end());
  const std::uint32_t n = b[0] + 256u * b[1] + 65536u * b[2];
  unsigned l = (b[3] >> 3) & 7u;
  if (l == 0) l = 8;
  const unsigned p = b[3] & 7u;
  std::string text = std::to_string(n).substr(0, l + 1);
  if (p + 1 <= text.size()) text[p] = '.';
  return text;
}

class TempDir : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("neb-gen-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

}  // namespace

TEST(Frequency, PackedBytesMatchTheRecordedExamples) {
  struct Case {
    std::uint32_t n;
    unsigned l, p;
    FrequencyBytes bytes;
  } cases[] = {
      {7050, 4, 1, {0x8A, 0x1B, 0x00, 0xA1}},
      {144100, 6, 3, {0xE4, 0x32, 0x02, 0xB3}},
      {430, 1, 7, {0xAE, 0x01, 0x00, 0x8F}},
      {1, 8, 0, {0x01, 0x00, 0x00, 0xC0}},  // L 8 is stored as 0; 0x80 alone would be the text form
  };
  for (const auto& c : cases) EXPECT_EQ(frequencyPacked(c.n, c.l, c.p), c.bytes) << c.n;
}

TEST(Frequency, MhzTextsSurviveTheReadersRules) {
  for (const char* mhz : {"7.050", "1.910", "14.195", "144.20", "430.00", "1294.00", "5760.1", "50.1"})
    EXPECT_EQ(decodeFrequency(frequencyMhz(mhz)), mhz);
  for (const char* bad : {"7", "0.136", "99999.99", ".5", "7.a"}) EXPECT_THROW(frequencyMhz(bad), GenError) << bad;
  EXPECT_EQ(decodeFrequency(frequencyText("14")), "14  ");
}

TEST_F(TempDir, RecordsAndBlocksSitAtTheirOffsets) {
  GenQso a;
  a.status = 'X';
  a.call = "JA1AB";
  a.portable = "1";
  a.shortText1 = std::string("\x91\xBE\0", 3);
  a.frequency = frequencyMhz("7.050");
  a.mode = "CW";
  a.longText = "\x93\x8C\x8B\x9E";
  a.flags = "JE";
  a.year = yearByte(2005);
  a.month = 7;
  a.day = 5;
  a.hour = 9;
  a.minute = minuteByte(5, true);
  a.extra1 = '9';
  a.report2 = 57;
  a.extra2 = 0;
  a.texts = {"ABC", "", "xy"};
  GenQso b;
  b.call = "JH3XYZW";
  b.textPointer = -5;
  b.texts = {"ignored", "", ""};
  GenQso c;
  c.texts = {"", "$DX", ""};

  const fs::path dbs = dir_ / "LOG.DBS";
  DatabaseWriter w(dbs, companionPath(dbs));
  w.add(a);
  w.add(b);
  w.add(c);
  w.finish();
  const std::string s = readBytes(dbs);
  const std::string r = readBytes(dir_ / "LOG.DBR");

  ASSERT_EQ(s.size(), 449u + 3 * 58);
  EXPECT_EQ(u8(s, 4) + 256 * u8(s, 5) + 65536 * u8(s, 6), 3u);
  const std::string rec = s.substr(391 + 58, 58);
  EXPECT_EQ(rec.substr(0, 1), "X");
  EXPECT_EQ(rec.substr(1, 7), "JA1AB  ");
  EXPECT_EQ(rec.substr(8, 3), "1  ");
  EXPECT_EQ(rec.substr(11, 6), std::string("\x91\xBE\0   ", 6));
  EXPECT_EQ(rec.substr(17, 6), "      ");
  EXPECT_EQ(rec.substr(23, 4), std::string("\xA2\x11\x01\xA1", 4));  // 70050, L 4, P 1
  EXPECT_EQ(rec.substr(27, 3), "CW ");
  EXPECT_EQ(rec.substr(30, 12), "\x93\x8C\x8B\x9E        ");
  EXPECT_EQ(rec.substr(42, 3), "JE ");
  EXPECT_EQ(rec.substr(45, 9), std::string("\x85\x07\x05\x09\x85\x3B" "9" "\x39\x00", 9));
  const std::int32_t pa = le32(rec, 54);
  ASSERT_GT(pa, 0);
  EXPECT_EQ(r.substr(static_cast<std::size_t>(pa), 8), std::string("\x03\x00\x02" "ABCxy", 8));

  EXPECT_EQ(s.substr(391 + 2 * 58 + 1, 7), "JH3XYZW");
  EXPECT_EQ(le32(s, 391 + 2 * 58 + 54), -5);
  EXPECT_EQ(le32(s, 391 + 3 * 58 + 54), static_cast<std::int32_t>(pa + 8));
  EXPECT_EQ(r.size(), static_cast<std::size_t>(pa) + 8 + 6);
}

TEST_F(TempDir, HeaderCountAndCutCompanionAreHonoured) {
  const fs::path dbs = dir_ / "CUT.DBS";
  DatabaseWriter w(dbs, companionPath(dbs));
  GenQso q;
  q.texts = {"abcdef", "", ""};
  w.add(q);
  w.finish(0x0A0B0C, 4);
  const std::string s = readBytes(dbs);
  EXPECT_EQ(s.substr(4, 3), "\x0C\x0B\x0A");
  EXPECT_EQ(fs::file_size(dir_ / "CUT.DBR"), kCompanionHeaderSize + 9 - 4);
}

TEST(QsoList, ColumnsBecomeRecordBytes) {
  const auto qsos = parseQsoList(
      "# comment\r\n"
      "\n"
      "JA1\\x22B\t1\tA\\tB\t\tmhz:144.20\tFM\tTokyo\tJ\t2004-07-05\t09:05U\t59/57\t5/0\tt1\tt,2\t\\\\\r\n"
      "W1AW\t\t\t\thex:AE01008F\tCW\t\t\t104/7/5\t23/59\t\t\t\t\t\t-3\n");
  ASSERT_EQ(qsos.size(), 2u);
  const GenQso& a = qsos[0];
  EXPECT_EQ(a.call, "JA1\"B");
  EXPECT_EQ(a.shortText1, "A\tB");
  EXPECT_EQ(decodeFrequency(a.frequency), "144.20");
  EXPECT_EQ((std::array<unsigned, 5>{a.year, a.month, a.day, a.hour, a.minute}),
            (std::array<unsigned, 5>{132, 7, 5, 9, 133}));
  EXPECT_EQ((std::array<unsigned, 4>{a.report1, a.extra1, a.report2, a.extra2}),
            (std::array<unsigned, 4>{59, '9', 5, 0}));
  EXPECT_EQ(a.texts, (std::array<std::string, 3>{"t1", "t,2", "\\"}));
  EXPECT_FALSE(a.textPointer);
  const GenQso& b = qsos[1];
  EXPECT_EQ(b.frequency, (FrequencyBytes{0xAE, 0x01, 0x00, 0x8F}));
  EXPECT_EQ(b.year, 104);
  EXPECT_EQ(b.minute, 59);
  EXPECT_EQ(b.extra1, ' ');
  EXPECT_EQ(b.textPointer, -3);
}

TEST(RandomLog, SameSeedSameLogAndAdversarialNeverBreaksTheLineStructure) {
  RandomLog a(42, true), b(42, true);
  for (int i = 0; i < 2000; ++i) {
    const GenQso x = a.next(), y = b.next();
    ASSERT_EQ(encodeRecord(x, 0), encodeRecord(y, 0));
    ASSERT_EQ(encodeBlock(x), encodeBlock(y));
    // Line ends inside a field would split a work-file line in two.
    const std::string all = x.call + x.portable + x.shortText1 + x.shortText2 + x.mode + x.longText +
                            x.flags + x.texts[0] + x.texts[1] + x.texts[2];
    ASSERT_EQ(all.find_first_of("\r\n"), std::string::npos) << i;
  }
}
