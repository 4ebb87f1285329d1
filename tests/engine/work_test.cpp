#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "env_items.hpp"
#include "mode_table.hpp"
#include "sjis.hpp"
#include "work_record.hpp"

namespace neb::test {
namespace {

QsoRecord sampleQso() {
  QsoRecord q;
  q.callSign = "JA1AB ";
  q.portableSuffix = "1";
  q.fullCall = "JA1AB /1";
  q.shortText1 = "s1";
  q.shortText2 = "s2";
  q.frequencyText = "7.050";
  q.band = "7";
  q.mode = "SSB";
  q.longText = "long";
  q.flag1 = "a";
  q.flag2 = "";
  q.flag3 = "c";
  q.qsoDate = "2003-05-07";
  q.qsoTime = "09:05J";
  q.report1 = "599";
  q.report2 = " 59 ";
  q.dbrText1 = " x,y ";
  q.dbrText2 = "";
  q.dbrText3 = "z";
  return q;
}

std::string lineFor(const QsoRecord& q, std::int32_t n = 1) {
  WorkRecord w;
  fillFields(w, q);
  cleanAndNumber(w, n);
  applyQRule(w);
  std::string out;
  appendLine(out, w);
  return out;
}

TEST(WorkLine, HasTwentyQuotedFieldsAndCrLf) {
  EXPECT_EQ(lineFor(sampleQso()),
            "\"NEBWD\",\"JA1AB\",\"1\",\"s1\",\"s2\",\"7\",\"SSB\",\"long\",\"a\",\"\",\"c\","
            "\"20030507\",\"0905J\",\"599\",\" 59 \",\"x,y\",\"\",\"z\",\"0000000001\",\"JA1AB /1\"\r\n");
}

TEST(WorkLine, FieldRules) {
  struct Case {
    const char* name;
    void (*change)(QsoRecord&);
    int field;
    std::string expected;
  };
  const Case cases[] = {
      {"quote in call becomes a space", [](QsoRecord& q) { q.callSign = "JA\"1"; }, 2, "JA 1"},
      {"full call keeps its quote", [](QsoRecord& q) { q.fullCall = "JA\"1"; }, 20, "JA\"1"},
      {"right quote becomes one space",
       [](QsoRecord& q) { q.longText = "a\x81\x68" "b\x81\x68"; }, 8, "a b "},
      {"left quote kept", [](QsoRecord& q) { q.longText = "\x81\x67" "a"; }, 8, "\x81\x67" "a"},
      // 0x81 0x68 inside another character is not the quote: 0x81 0x81 is one character.
      {"trail byte 0x81 not a quote", [](QsoRecord& q) { q.dbrText1 = "\x81\x81\x68"; }, 16,
       "\x81\x81\x68"},
      {"quote in companion text", [](QsoRecord& q) { q.dbrText3 = "say \"hi\""; }, 18, "say  hi "},
      {"Q alone is emptied", [](QsoRecord& q) { q.portableSuffix = " Q "; }, 3, ""},
      {"QR kept", [](QsoRecord& q) { q.portableSuffix = "QR"; }, 3, "QR"},
      {"quote becomes space, not Q", [](QsoRecord& q) { q.portableSuffix.assign(1, '"'); }, 3, " "},
      {"prefix form loses trailing space", [](QsoRecord& q) { q.fullCall = "1/JA1AB "; }, 20, "1/JA1AB"},
      {"reports not trimmed", [](QsoRecord& q) { q.report1 = " 5"; }, 14, " 5"},
      {"full-width space not trimmed", [](QsoRecord& q) { q.longText = "\x81\x40" "a"; }, 8,
       "\x81\x40" "a"},
      {"time with U", [](QsoRecord& q) { q.qsoTime = "23:59U"; }, 13, "2359U"},
      {"odd date cut by position", [](QsoRecord& q) { q.qsoDate = "2127-255-255"; }, 12, "212725-2"},
  };
  for (const Case& c : cases) {
    QsoRecord q = sampleQso();
    c.change(q);
    WorkRecord w;
    fillFields(w, q);
    cleanAndNumber(w, 1);
    applyQRule(w);
    EXPECT_EQ(w[c.field], c.expected) << c.name;
  }
}

// The one-pass line against the step-by-step one, over texts built from the
// bytes the rules care about: quotes of both kinds, lone and paired lead
// bytes, spaces, NULs, Q, kanji and half-width katakana.
TEST(WorkLine, OnePassLineEqualsStepByStepLine) {
  const std::vector<std::string> pieces = {
      "A", "Q", "1", " ", "  ", "\"", "\x81\x68", "\x81\x67", "\x81", "\x81\x81", "\x81\x22", "\x8C\xF0",
      "\xB1", std::string(1, '\0'), "\xFF", "-", ":", ",", "JA", "$DX", "\x81\x40"};
  // Some rounds go without 0x81, so that ASCII quotes alone decide, and some
  // without either quote byte.
  std::vector<std::string> withoutLead81, withoutQuotes;
  for (const std::string& piece : pieces) {
    if (piece.find('\x81') != std::string::npos) continue;
    withoutLead81.push_back(piece);
    if (piece.find('"') == std::string::npos) withoutQuotes.push_back(piece);
  }
  const std::vector<std::string>* alphabet = &pieces;
  std::mt19937 rng(7);
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
  auto text = [&](std::size_t maxPieces) {
    std::string t;
    for (std::size_t k = pick(maxPieces + 1); k > 0; --k) t += (*alphabet)[pick(alphabet->size())];
    return t;
  };
  const std::vector<std::int32_t> numbers = {1, 9, 10, 16777215, INT32_MAX, 0, -1, INT32_MIN};

  for (int round = 0; round < 4000; ++round) {
    alphabet = round % 3 == 0 ? &pieces : round % 3 == 1 ? &withoutLead81 : &withoutQuotes;
    QsoRecord q;
    for (std::string* field : {&q.callSign, &q.portableSuffix, &q.fullCall, &q.shortText1, &q.shortText2,
                               &q.frequencyText, &q.band, &q.mode, &q.longText, &q.flag1, &q.flag2,
                               &q.flag3, &q.qsoDate, &q.qsoTime, &q.report1, &q.report2})
      *field = text(6);
    if (round % 3 == 0) q.portableSuffix = text(1) + text(1) + "1";
    if (round % 5 == 0) q.portableSuffix = " Q ";
    q.dbrText1 = text(80);
    q.dbrText2 = text(4);
    q.dbrText3 = text(150);
    // More quotes than a byte can count.
    if (round % 6 == 5) q.dbrText1 = std::string(256, '"');

    std::vector<std::string> prefixes;
    for (std::size_t k = pick(4); k > 0; --k) prefixes.push_back(text(2));
    ModeTable modes;
    for (std::size_t k = pick(4); k > 0; --k) modes.add(text(2), text(3));
    modes.add(std::string(sjis::trim(q.mode)), round % 2 ? text(3) : "");
    const std::int32_t n = round < static_cast<int>(numbers.size()) ? numbers[static_cast<std::size_t>(round)]
                                                                      : static_cast<std::int32_t>(rng() % 20000000);
    const bool convertArea = round % 4 != 0;
    const bool convertModes = round % 3 != 0;

    WorkRecord w;
    fillFields(w, q);
    if (convertArea) convertAreaSuffix(w, prefixes);
    if (convertModes) convertMode(w, modes);
    cleanAndNumber(w, n);
    applyQRule(w);
    std::string expected = "prefix";
    appendLine(expected, w);
    std::string actual = "prefix";
    appendWorkLine(actual, q, n, convertArea ? &prefixes : nullptr, convertModes ? &modes : nullptr);
    ASSERT_EQ(actual, expected) << "round " << round;
  }
}

TEST(AreaSuffix, ComparesEveryPrefixAgainstTheCurrentField) {
  struct Case {
    std::string field;
    std::vector<std::string> prefixes;
    std::string expected;
  };
  const Case cases[] = {
      {"JA1", {"JA"}, "1"},
      {"ja1", {"JA"}, "ja1"},
      {"JA1", {"7K", "JA"}, "1"},
      {"JA1", {"JA", "1"}, ""},
      {"JA1", {"JA", "1", ""}, ""},
      {"JA", {"JA"}, "JA"},
      {"JA12", {"JA"}, "JA12"},
      {"JA1", {}, "JA1"},
      // Characters, not bytes: a kanji and two letters are 3 characters.
      {"\x8C\xF0" "A1", {"\x8C\xF0" "A"}, "1"},
      {"\x8C\xF0" "A", {"\x8C\xF0"}, "\x8C\xF0" "A"},
  };
  for (const Case& c : cases) {
    WorkRecord w;
    w[3] = c.field;
    convertAreaSuffix(w, c.prefixes);
    EXPECT_EQ(w[3], c.expected) << c.field;
  }
}

TEST(ModeTable, LoadingRules) {
  struct Case {
    const char* name;
    std::string file;
    std::vector<std::pair<std::string, std::string>> entries;  // hamlog, converted
  };
  const Case cases[] = {
      {"one line, two modes", "SSB,LSB,USB\r\n", {{"LSB", "SSB"}, {"USB", "SSB"}}},
      {"column 0 only", "SSB\r\n", {}},
      {"trailing comma maps the empty mode", "SSB,\r\n", {{"", "SSB"}}},
      {"blank column 0 adds nothing", "  ,LSB\r\n", {}},
      {"upper case and trimmed", "ssb , lsb \r\n", {{"LSB", "SSB"}}},
      {"full-width letters upper-cased", "\x82\x81,\x82\x9A\r\n", {{"\x82\x79", "\x82\x60"}}},
      {"lone CR ends a line", "SSB,LSB\rCW,A1A", {{"LSB", "SSB"}, {"A1A", "CW"}}},
      {"lone LF stays in the line", "SSB,LSB\nCW,A1A\r\n", {{"LSB\nCW", "SSB"}, {"A1A", "SSB"}}},
      {"empty lines", "\r\n\r\nFM,F3E\r\n\r\n", {{"F3E", "FM"}}},
  };
  for (const Case& c : cases) {
    ModeTable table;
    table.load(c.file);
    std::vector<std::pair<std::string, std::string>> got;
    for (const auto& e : table.entries()) got.emplace_back(e.hamlogMode, e.convertedMode);
    EXPECT_EQ(got, c.entries) << c.name;
  }
}

TEST(ModeTable, ConversionTakesTheFirstExactMatch) {
  ModeTable table;
  table.load("SSB,LSB\r\nAM,LSB\r\nSSB,\r\n");
  struct Case {
    std::string mode, expected;
  };
  for (const Case& c : {Case{"LSB", "SSB"}, Case{"lsb", "lsb"}, Case{"", "SSB"}, Case{"CW", "CW"}}) {
    WorkRecord w;
    w[7] = c.mode;
    convertMode(w, table);
    EXPECT_EQ(w[7], c.expected) << c.mode;
  }
  WorkRecord w;
  w[7] = "LSB";
  convertMode(w, ModeTable{});
  EXPECT_EQ(w[7], "LSB");
}

TEST(ModeTable, HasNoSixteenBitLimit) {
  std::string file;
  for (int i = 0; i < 40000; ++i) {
    file += 'C';
    file += std::to_string(i);
    file += ",M";
    file += std::to_string(i);
    file += "\r\n";
  }
  ModeTable table;
  table.load(file);
  ASSERT_EQ(table.entries().size(), 40000u);
  ASSERT_NE(table.lookup("M39999"), nullptr);
  EXPECT_EQ(*table.lookup("M39999"), "C39999");
}

TEST(EnvItems, Splitting) {
  struct Case {
    const char* name;
    std::string file;
    std::vector<std::string> items;
  };
  const Case cases[] = {
      {"commas and line ends", "a,b\r\nc\rd\ne", {"a", "b", "c", "d", "e"}},
      {"blanks around unquoted items", "  a  , b\r\n", {"a", "b"}},
      {"quoted item holds commas", "\"C:\\a,b\\LOG.DBS\",x", {"C:\\a,b\\LOG.DBS", "x"}},
      {"quoted keeps its blanks", "\" a \"", {" a "}},
      {"quote inside unquoted item", "a\"b,c", {"a\"b", "c"}},
      {"empty item after trailing comma", "#01,\r\n$JA", {"#01", "", "$JA"}},
      {"empty item between commas", "a,,b", {"a", "", "b"}},
      {"blank lines give no items", "a\r\n\r\n\r\nb", {"a", "b"}},
      {"kanji with comma-free trail bytes", "\x8C\xF0,\x90\x4D", {"\x8C\xF0", "\x90\x4D"}},
  };
  for (const Case& c : cases) EXPECT_EQ(splitEnvItems(c.file), c.items) << c.name;
}

TEST(EnvItems, HamlogPathAndAreaPrefixes) {
  struct Case {
    const char* name;
    std::string file;
    std::optional<std::string> path;
    std::vector<std::string> prefixes;
  };
  const Case cases[] = {
      {"one line", "#01,C:\\HAMLOG\\HAMLOG.DBS\r\n", "C:\\HAMLOG\\HAMLOG.DBS", {}},
      {"two lines", "#01\r\nC:\\HAMLOG\\HAMLOG.DBS\r\n", "C:\\HAMLOG\\HAMLOG.DBS", {}},
      {"last #01 wins", "#01,C:\\A.DBS\r\n#01,D:\\B.DBS\r\n", "D:\\B.DBS", {}},
      {"unquoted path cut at comma", "#01,C:\\A,B.DBS\r\n", "C:\\A", {}},
      {"quoted path keeps comma", "#01,\"C:\\A,B.DBS\"\r\n", "C:\\A,B.DBS", {}},
      {"nothing after #01", "$JA\r\n#01", std::nullopt, {"JA"}},
      {"path item not examined", "#01,$JA\r\n", "$JA", {}},
      {"#01 is exact", "#011,x\r\n #01 ,y\r\n", "y", {}},
      {"prefixes", "$JA,$JD,$JD1,$jd,$7K1,$\r\n", std::nullopt, {"JA", "jd", "7K", ""}},
      {"prefix counted in characters", "$\x8C\xF0" "A1\r\n", std::nullopt, {"\x8C\xF0" "A"}},
  };
  for (const Case& c : cases) {
    const EnvItems env = readEnvItems(c.file);
    EXPECT_EQ(env.hamlogPath, c.path) << c.name;
    EXPECT_EQ(env.areaPrefixes, c.prefixes) << c.name;
  }
}

TEST(EnvItems, AtMostThirtyPrefixes) {
  for (int count : {30, 31}) {
    std::string file;
    for (int i = 0; i < count; ++i) {
      file += '$';
      file += std::to_string(10 + i);
      file += "\r\n";
    }
    const EnvItems env = readEnvItems(file);
    ASSERT_EQ(env.areaPrefixes.size(), 30u);
    EXPECT_EQ(env.areaPrefixes.front(), "10");
    EXPECT_EQ(env.areaPrefixes.back(), "39");
  }
}

}  // namespace
}  // namespace neb::test
