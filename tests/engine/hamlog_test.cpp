#include <gtest/gtest.h>

#include "engine_support.hpp"
#include "hamlog_database.hpp"
#include "messages.hpp"

namespace neb::test {
namespace {

using Bytes4 = std::array<unsigned char, 4>;

struct Decoded {
  QsoRecord qso;
  std::int32_t qsoNumber = 0;
  std::vector<std::pair<std::string, std::string>> messages;
};

// Decodes QSO n of a database whose first record is r (after the others).
Decoded decodeWith(DbBuilder db, std::int32_t n = 1) {
  MemFileSystem fs;
  RecordingSink sink;
  db.install(fs);
  HamlogDatabase hamlog(fs, sink);
  EXPECT_TRUE(hamlog.Hamlog_Open("/h/LOG.DBS"));
  hamlog.qsoNumber = n;
  hamlog.Qso_Read();
  return {hamlog.qso, hamlog.qsoNumber, sink.messages};
}

Decoded decode(const Rec& r) {
  DbBuilder db;
  db.add(r);
  return decodeWith(db);
}

std::string sjisNumberText(std::string_view middle, int n, std::string_view tail) {
  return std::string(msg::qsoNumberPrefix) + std::to_string(n) + std::string(middle) + "\n" +
         std::string(tail);
}

TEST(HamlogOpen, DerivesUpperCaseNamesFromAnyExtension) {
  struct Case {
    std::string path, dbs, dbr;
  };
  const Case cases[] = {
      {"D:\\HAM\\HAMLOG.DBS", "D:\\HAM\\HAMLOG.DBS", "D:\\HAM\\HAMLOG.DBR"},
      {"D:\\HAM\\LOG.dbs", "D:\\HAM\\LOG.DBS", "D:\\HAM\\LOG.DBR"},
      {"C:\\LOG\\HAMLOG.TXT", "C:\\LOG\\HAMLOG.DBS", "C:\\LOG\\HAMLOG.DBR"},
      // The last three characters are counted as Shift_JIS characters: 交信 is 4 bytes.
      {"D:\\\x8C\xF0\x90\x4D.\x8C\xF0\x90\x4D" "a", "D:\\\x8C\xF0\x90\x4D.DBS", "D:\\\x8C\xF0\x90\x4D.DBR"},
      {"ab", "DBS", "DBR"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HamlogDatabase::recordFileName(c.path), c.dbs) << c.path;
    EXPECT_EQ(HamlogDatabase::companionFileName(c.path), c.dbr) << c.path;
  }
}

TEST(HamlogOpen, MissingFilesGiveOneMessageAndNothingOpen) {
  struct Case {
    bool dbs, dbr;
    std::string_view expected;
  };
  const Case cases[] = {{false, false, msg::dbsNotFound}, {false, true, msg::dbsNotFound},
                        {true, false, msg::dbrNotFound}};
  for (const Case& c : cases) {
    MemFileSystem fs;
    RecordingSink sink;
    DbBuilder db;
    db.add();
    if (c.dbs) fs.put("/h/LOG.DBS", db.dbs());
    if (c.dbr) fs.put("/h/LOG.DBR", db.dbr);
    HamlogDatabase hamlog(fs, sink);
    EXPECT_FALSE(hamlog.Hamlog_Open("/h/LOG.dbs"));
    EXPECT_FALSE(hamlog.isOpen());
    EXPECT_EQ(hamlog.recordCount, 0);
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].first, "/h/LOG." + std::string(c.expected));
    EXPECT_EQ(sink.messages[0].second, "HamlogOpen");
  }
}

TEST(HamlogOpen, RecordCountIsTwentyFourBitsAtBytesFourToSix) {
  struct Case {
    std::string header;
    std::int32_t count;
  };
  const Case cases[] = {
      {std::string("HAM \x10\x27\x00\x05", 8), 10000},
      {"HAM \xFF\xFF\xFF\xFF", 16777215},
      {std::string("HAM \x00\x00\x00", 7), 0},
  };
  for (const Case& c : cases) {
    MemFileSystem fs;
    RecordingSink sink;
    fs.put("/h/LOG.DBS", c.header);
    fs.put("/h/LOG.DBR", "");
    HamlogDatabase hamlog(fs, sink);
    ASSERT_TRUE(hamlog.Hamlog_Open("/h/LOG.DBS"));
    EXPECT_EQ(hamlog.recordCount, c.count);
  }
}

TEST(HamlogOpen, HeaderTooShortIsAnIoErrorNamingTheFile) {
  MemFileSystem fs;
  RecordingSink sink;
  fs.put("/h/LOG.DBS", "HAM \x01");
  fs.put("/h/LOG.DBR", "");
  HamlogDatabase hamlog(fs, sink);
  try {
    hamlog.Hamlog_Open("/h/LOG.DBS");
    FAIL() << "no IoError";
  } catch (const IoError& e) {
    EXPECT_EQ(e.path(), Path("/h/LOG.DBS"));
    EXPECT_NE(std::string(e.what()).find("/h/LOG.DBS"), std::string::npos);
  }
}

TEST(QsoRead, RecordNIsReadFromItsOwnOffset) {
  DbBuilder db;
  for (int i = 0; i < 1000; ++i) db.add().call = "JA" + std::to_string(i + 1);
  for (std::int32_t n : {1, 2, 1000}) {
    Decoded d = decodeWith(db, n);
    EXPECT_EQ(d.qsoNumber, n);
    EXPECT_EQ(d.qso.callSign, "JA" + std::to_string(n) + std::string(n < 10 ? 3 : n < 100 ? 2 : n < 1000 ? 1 : 0, ' '));
  }
}

TEST(QsoRead, CompanionTexts) {
  struct Case {
    const char* name;
    std::string block;  // the bytes at textPointer; the file ends after them
    std::string t1, t2, t3;
  };
  const Case cases[] = {
      {"plain", std::string("\x03\x00\x02" "ABCxy", 8), "ABC", "", "xy"},
      {"kept untrimmed", std::string("\x03\x01\x00" " A  ", 7), " A ", " ", ""},
      {"commas and quotes", std::string("\x05\x00\x00" "a,\"b,", 8), "a,\"b,", "", ""},
      // A double-byte character cut by its text's end is dropped; the next
      // text starts where the lengths say.
      {"cut double-byte", std::string("\x02\x02\x00" "A\x8C\xF0" "BC", 8), "A", "\xF0" "B", ""},
      {"whole double-byte", std::string("\x03\x01\x00" "A\x8C\xF0" "B", 7), "A\x8C\xF0", "B", ""},
      {"invalid bytes kept", std::string("\x03\x00\x00" "\x81\x20\xFF", 6), "\x81\x20\xFF", "", ""},
      // Beyond the end of the file: only the bytes that exist.
      {"text cut by end of file", std::string("\x04\x03\x02" "ABCDE", 8), "ABCD", "E", ""},
      {"lengths cut by end of file", std::string("\x05\x05", 2), "", "", ""},
      {"lead byte last in file", std::string("\x02\x00\x00" "A\x8C", 5), "A", "", ""},
  };
  for (const Case& c : cases) {
    DbBuilder db;
    db.add().textPointer = static_cast<std::int32_t>(db.dbr.size());
    db.dbr += c.block;
    Decoded d = decodeWith(db);
    EXPECT_EQ(d.qso.dbrText1, c.t1) << c.name;
    EXPECT_EQ(d.qso.dbrText2, c.t2) << c.name;
    EXPECT_EQ(d.qso.dbrText3, c.t3) << c.name;
  }
}

TEST(QsoRead, TextPointerOutsideTheFileOrNotPositiveGivesNoTexts) {
  for (std::int32_t pointer : {0, -1, -2147483647 - 1, 2147483647, 17}) {
    Rec r;
    r.textPointer = pointer;
    Decoded d = decode(r);  // the companion file holds 16 bytes
    EXPECT_EQ(d.qsoNumber, 1);
    EXPECT_EQ(d.qso.dbrText1 + d.qso.dbrText2 + d.qso.dbrText3, "") << pointer;
  }
}

TEST(QsoRead, CallSignAndFullCall) {
  struct Case {
    std::string call, portable, text2, text3;
    std::string callSign, portableSuffix, fullCall;
  };
  const Case cases[] = {
      {"JA1AB", "1", "", "", "JA1AB ", "1", "JA1AB /1"},
      {"JA1AB", "1", "x$DXy", "", "JA1AB ", "1", "1/JA1AB "},
      {"JA1AB", "1", "", "$DX", "JA1AB ", "1", "1/JA1AB "},
      {"JA1AB", "1", "$dx", "", "JA1AB ", "1", "JA1AB /1"},
      {"JA1AB", "", "$DX", "", "JA1AB ", "", "JA1AB "},
      {" JA1ABC", " JA", "", "", "JA1ABC", "JA", "JA1ABC/JA"},
      {"JA1ABCD", "", "", "", "JA1ABCD", "", "JA1ABCD"},
      // Characters, not bytes, are padded: two kanji and one letter are 3.
      {"\x8C\xF0\x90\x4D" "A", "", "", "", "\x8C\xF0\x90\x4D" "A   ", "", "\x8C\xF0\x90\x4D" "A   "},
  };
  for (const Case& c : cases) {
    DbBuilder db;
    Rec& r = db.add();
    r.call = c.call;
    r.portable = c.portable;
    if (!c.text2.empty() || !c.text3.empty()) db.records[0].textPointer = db.addTexts("", c.text2, c.text3);
    Decoded d = decodeWith(db);
    EXPECT_EQ(d.qso.callSign, c.callSign) << c.call;
    EXPECT_EQ(d.qso.portableSuffix, c.portableSuffix) << c.call;
    EXPECT_EQ(d.qso.fullCall, c.fullCall) << c.call << " " << c.text2;
  }
}

TEST(QsoRead, TextFieldsAreStripped) {
  Rec r;
  r.short1 = std::string("\x8C\xF0\x90\x4D\0\0", 6);
  r.short2 = std::string(" a\0b\0\0", 6);
  r.mode = std::string("CW\0", 3);
  r.longText = " long text  ";
  r.flags = std::string("\0 X", 3);
  r.freq = {'7', ' ', ' ', ' '};
  Decoded d = decode(r);
  EXPECT_EQ(d.qso.shortText1, "\x8C\xF0\x90\x4D");
  EXPECT_EQ(d.qso.shortText2, std::string("a\0b", 3));
  EXPECT_EQ(d.qso.mode, "CW");
  EXPECT_EQ(d.qso.longText, "long text");
  EXPECT_EQ(d.qso.flag1, "");
  EXPECT_EQ(d.qso.flag2, "");
  EXPECT_EQ(d.qso.flag3, "X");
}

TEST(QsoRead, Frequency) {
  struct Case {
    Bytes4 bytes;
    std::string text, band;
    int invalidMessages, warnings;
  };
  const Case cases[] = {
      {{0x37, 0x20, 0x20, 0x20}, "7", "7", 0, 0},
      {{'1', '4', ' ', ' '}, "14", "14", 0, 0},
      {{' ', '2', '1', '.'}, "21.", "21", 0, 0},
      {{'1', '4', '4', 0x80}, "144\x80", "144", 0, 0},
      {{0x8A, 0x1B, 0x00, 0xA1}, "7.50", "7", 0, 0},
      {{0xE4, 0x32, 0x02, 0xB3}, "144.00", "144", 0, 0},
      // N = 430, L = 1, P = 7: the point lies beyond the two kept digits.
      {{0xAE, 0x01, 0x00, 0x8F}, "43", "430", 0, 1},
      // L of 0 counts as 8: nine digits kept, point after the first.
      {{0xFF, 0xFF, 0xFF, 0x81}, "1.777215", "1.9", 0, 0},
      // No band from the undotted digits, nor after: two invalid messages and the warning.
      {{0x09, 0x00, 0x00, 0x8B}, "9", "", 2, 1},
      {{'9', ' ', ' ', ' '}, "9", "", 1, 0},
      {{' ', ' ', ' ', ' '}, "", "", 1, 0},
  };
  for (const Case& c : cases) {
    Rec r;
    r.freq = c.bytes;
    Decoded d = decode(r);
    EXPECT_EQ(d.qso.frequencyText, c.text);
    EXPECT_EQ(d.qso.band, c.band) << c.text;
    int invalid = 0, warnings = 0;
    for (const auto& [text, caption] : d.messages) {
      EXPECT_EQ(caption, "NEB01");
      if (text == sjisNumberText(msg::frequencyInvalid, 1, d.qso.frequencyText)) ++invalid;
      if (text == sjisNumberText(msg::frequencyOdd, 1, c.band + std::string(msg::frequencyAssumed)))
        ++warnings;
    }
    EXPECT_EQ(invalid, c.invalidMessages) << c.text;
    EXPECT_EQ(warnings, c.warnings) << c.text;
    EXPECT_EQ(d.messages.size(), static_cast<std::size_t>(c.invalidMessages + c.warnings)) << c.text;
  }
}

TEST(FreqCheck, LastRuleThatHoldsDecides) {
  struct Case {
    const char* f;
    const char* band;
  };
  const Case cases[] = {
      {"7.050", "7"},     {"7", "7"},         {"1.910", "1.9"},  {"1.8", "1.9"},     {"3.525", "3.5"},
      {"3.798", "3.5"},   {"14.195", "14"},   {"144.20", "144"}, {"145.00", "144"},  {"146.0", "14"},
      {"18", "18"},       {"18.100", "18"},   {"21", "21"},      {"21.300", "21"},   {"10.120", "10"},
      {"10240", "10"},    {"24", "24"},       {"24.940", "24"},  {"2400.0", "2400"}, {"245", "2400"},
      {"24x", ""},        {"28.500", "28"},   {"29.600", "28"},  {"50.100", "50"},   {"51", "50"},
      {"54.5", "50"},     {"5600.0", "5600"}, {"57", "5600"},    {"59", "5600"},     {"5", ""},
      {"5.0", ""},        {"5.350", ""},      {"430.00", "430"}, {"433", "430"},     {"43", "430"},
      {"1294.0", "1200"}, {"1270", "1200"},   {"12", "1200"},    {"1", ""},          {"2", ""},
      {"3", ""},          {"9", ""},          {"70.0", "7"},     {"", ""},           {" 7.0", ""},
  };
  MemFileSystem fs;
  RecordingSink sink;
  HamlogDatabase hamlog(fs, sink);
  hamlog.qsoNumber = 12345;
  for (const Case& c : cases) {
    sink.messages.clear();
    hamlog.qso.frequencyText = c.f;
    hamlog.qso.band = "stale";
    hamlog.Freq_Check();
    EXPECT_EQ(hamlog.qso.band, c.band) << c.f;
    if (std::string(c.band).empty()) {
      ASSERT_EQ(sink.messages.size(), 1u) << c.f;
      EXPECT_EQ(sink.messages[0].first, sjisNumberText(msg::frequencyInvalid, 12345, c.f));
      EXPECT_EQ(sink.messages[0].second, "NEB01");
    } else {
      EXPECT_TRUE(sink.messages.empty()) << c.f;
    }
  }
}

TEST(QsoRead, DateTimeAndReports) {
  struct Case {
    unsigned char year, month, day, hour, minute, report, extra;
    const char *date, *time, *report1;
  };
  const Case cases[] = {
      {104, 7, 5, 9, 133, 59, '9', "2004-07-05", "09:05U", "599"},
      {127, 12, 31, 9, 5, 59, ' ', "2027-12-31", "09:05J", "59"},
      {128, 1, 1, 23, 59, 59, 0, "2000-01-01", "23:59J", "59-48"},
      {133, 10, 10, 0, 128, 5, '7', "2005-10-10", "00:00U", "57"},
      {0, 0, 0, 0, 0, 0, ' ', "1900-00-00", "00:00J", "0"},
      {255, 255, 255, 255, 255, 255, 255, "2127-255-255", "25:5127U", "255207"},
  };
  for (const Case& c : cases) {
    Rec r;
    r.year = c.year;
    r.month = c.month;
    r.day = c.day;
    r.hour = c.hour;
    r.minute = c.minute;
    r.report1 = c.report;
    r.extra1 = c.extra;
    r.report2 = 5;
    r.extra2 = '9';
    Decoded d = decode(r);
    EXPECT_EQ(d.qso.qsoDate, c.date);
    EXPECT_EQ(d.qso.qsoTime, c.time);
    EXPECT_EQ(d.qso.report1, c.report1);
    EXPECT_EQ(d.qso.report2, "59");
  }
}

}  // namespace
}  // namespace neb::test
