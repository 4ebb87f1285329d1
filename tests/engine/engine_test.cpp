// The engine at its public seams, one table per rule set.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "background_sync.hpp"
#include "env_items.hpp"
#include "extraction.hpp"
#include "hamlog_database.hpp"
#include "hamlog_gen.hpp"
#include "mode_table.hpp"
#include "sjis.hpp"
#include "test_files.hpp"

namespace neb {
namespace {


TEST(Sjis, LeadAndTrailBytesDecideTheCharacters) {
  struct Case {
    std::string s;
    std::size_t length;
    std::string left1, dropRight1, char2, upper;
  };
  const Case cases[] = {
      {"\x80\x40", 2, "\x80", "\x80", "\x40", "\x80\x40"},  // 0x80 and 0xA0 lead nothing
      {"\x81\x40", 1, "\x81\x40", "", "", "\x81\x40"},
      {"\x9F\x40", 1, "\x9F\x40", "", "", "\x9F\x40"},
      {"\xA0\x40", 2, "\xA0", "\xA0", "\x40", "\xA0\x40"},
      {"\xDF\xFC", 2, "\xDF", "\xDF", "\xFC", "\xDF\xFC"},
      {"\xE0\xFC", 1, "\xE0\xFC", "", "", "\xE0\xFC"},
      {"\xFC\x7E", 1, "\xFC\x7E", "", "", "\xFC\x7E"},
      {"\xFD\x7E", 2, "\xFD", "\xFD", "\x7E", "\xFD\x7E"},
      {"\x81\x3F", 2, "\x81", "\x81", "\x3F", "\x81\x3F"},  // trails are 0x40-0x7E, 0x80-0xFC
      {"\x81\x7F", 2, "\x81", "\x81", "\x7F", "\x81\x7F"},
      {"\x81\x80", 1, "\x81\x80", "", "", "\x81\x80"},
      {"\x81\xFD", 2, "\x81", "\x81", "\xFD", "\x81\xFD"},
      {"a`z{", 4, "a", "a`z", "`", "A`Z{"},
      {"\x82\x81\x82\x9A\x82\x80\x82\x9B", 4, "\x82\x81", "\x82\x81\x82\x9A\x82\x80", "\x82\x9A",
       "\x82\x60\x82\x79\x82\x80\x82\x9B"},
      {"\x81\x61\x82\x61", 2, "\x81\x61", "\x81\x61", "\x82\x61", "\x81\x61\x82\x61"},
      {"\x82", 1, "\x82", "", "", "\x82"},
      {"", 0, "", "", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sjis::length(c.s), c.length) << c.s;
    EXPECT_EQ(sjis::left(c.s, 1), c.left1) << c.s;
    EXPECT_EQ(sjis::dropRight(c.s, 1), c.dropRight1) << c.s;
    EXPECT_EQ(sjis::charAt(c.s, 2), c.char2) << c.s;
    EXPECT_EQ(sjis::upper(c.s), c.upper) << c.s;
  }
  EXPECT_EQ(sjis::trim("  \x81\x40 a "), "\x81\x40 a");
}

TEST(ModeTable, LoadingRulesAndFirstMatch) {
  const std::pair<std::string, std::vector<std::pair<std::string, std::string>>> cases[] = {
      // file, then modes and what each converts to ("" none)
      {"SSB,LSB,USB\r\nAM,LSB\r\n", {{"LSB", "SSB"}, {"USB", "SSB"}, {"AM", ""}, {"lsb", ""}}},
      {"SSB\r\n  ,LSB\r\nSSB,\r\n", {{"", "SSB"}, {"LSB", ""}, {"SSB", ""}}},
      {"ssb , lsb \r\n\x82\x81,\x82\x9A\r\n", {{"LSB", "SSB"}, {"\x82\x79", "\x82\x60"}}},
      {"SSB,LSB\rCW,A1A", {{"LSB", "SSB"}, {"A1A", "CW"}}},
      {"SSB,LSB\nCW,A1A\r\n\r\n", {{"LSB\nCW", "SSB"}, {"A1A", "SSB"}}},
  };
  for (const auto& [file, lookups] : cases) {
    ModeTable table;
    table.load(file);
    for (const auto& [mode, converted] : lookups) {
      const std::string* got = table.lookup(mode);
      EXPECT_EQ(got ? *got : "", converted) << file << " " << mode;
    }
  }
}

TEST(EnvItems, ItemsHamlogPathAndAreaPrefixes) {
  struct Case {
    std::string file;
    std::vector<std::string> items;
    std::optional<std::string> path;
    std::vector<std::string> prefixes;
  };
  const Case cases[] = {
      {"a,b\r\nc\rd\ne\r\n\r\n", {"a", "b", "c", "d", "e"}, std::nullopt, {}},
      {"  a  , b\t\r\n\"C:\\a,b\" x,\" y \"", {"a", "b\t", "C:\\a,b", " y "}, std::nullopt, {}},
      {"a\"b,,c,\r\n\"d\r\ne,", {"a\"b", "", "c", "", "d", "e"}, std::nullopt, {}},
      {"\"a\",b,\"c\rd,\"e", {"a", "b", "c", "d", "e"}, std::nullopt, {}},  // a quote closed before a comma, or never
      {"#01,\r\n\r\n$JA", {"#01", "", "$JA"}, "", {"JA"}},  // the blank line after "#01," is no item
      {"#01,C:\\A.DBS\r\n#01\r\nD:\\B.DBS\r\n", {"#01", "C:\\A.DBS", "#01", "D:\\B.DBS"}, "D:\\B.DBS", {}},
      {"#01,C:\\A,B.DBS\r\n ", {"#01", "C:\\A", "B.DBS"}, "C:\\A", {}},  // blanks to the very end
      {"$JA\r\n#01", {"$JA", "#01"}, std::nullopt, {"JA"}},
      {"#01,$JA\r\n#011,x\r\n #01 ,", {"#01", "$JA", "#011", "x", "#01"}, "$JA", {}},
      {"$JA,$JD,$JD1,$jd,$7K1,$,$\x8C\xF0" "A1", {"$JA", "$JD", "$JD1", "$jd", "$7K1", "$", "$\x8C\xF0" "A1"},
       std::nullopt, {"JA", "jd", "7K", "", "\x8C\xF0" "A"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(splitEnvItems(c.file), c.items) << c.file;
    EXPECT_EQ(readEnvItems(c.file).hamlogPath, c.path) << c.file;
    EXPECT_EQ(readEnvItems(c.file).areaPrefixes, c.prefixes) << c.file;
  }
  std::string many;
  for (int i = 10; i < 41; ++i) many += "$" + std::to_string(i) + "\r\n";
  const EnvItems env = readEnvItems(many);
  ASSERT_EQ(env.areaPrefixes.size(), 30u);
  EXPECT_EQ(env.areaPrefixes.back(), "39");
}

TEST(FreqCheck, LastRuleThatHoldsDecides) {
  const std::pair<const char*, const char*> cases[] = {
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
  Sink sink;
  std::string scratch = "stale";
  for (const auto& [freq, band] : cases) {
    sink.shown.clear();
    EXPECT_EQ(Freq_Check(freq, 12345, sink, scratch), band) << freq;
    EXPECT_EQ(sink.shown.size(), *band ? 0u : 1u) << freq;
  }
}

// Quotes of both kinds at every offset of a long field: each becomes one
// blank, every other byte stays. The last record is at the decoder's limits:
// three companion texts of 255 bytes, and a packed frequency whose point falls
// on the place after its kept digits, which stay whole after the warning.
TEST(Extraction, QuotesAtEveryOffsetAndARecordAtTheDecodersLimits) {
  std::string letters;
  for (std::size_t i = 0; i < 255; ++i) letters += static_cast<char>('A' + i % 26);
  const std::string head = "\"NEBWD\",\"JA1A\",\"\",\"\",\"\",\"7\",\"\",\"\",\"\",\"\",\"\",\"20040101\",\"0000J\","
                           "\"59\",\"59\",\"";
  std::vector<gen::GenQso> qsos;
  std::string want;
  for (const std::string quote : {"\"", "\x81\x68"})
    for (std::size_t len : {40, 41})  // the text ending at two offsets of a sixteen-byte block
      for (std::size_t at = 0; at + quote.size() <= len; ++at) {
        qsos.push_back({.call = "JA1A", .texts = {"", letters.substr(0, len).replace(at, quote.size(), quote), ""}});
        want += head + "\",\"" + letters.substr(0, len).replace(at, quote.size(), " ") + "\",\"\",\"" +
                std::to_string(10000000000 + qsos.size()).substr(1) + "\",\"JA1A\"\r\n";
      }
  qsos.push_back({.call = "JA1A", .frequency = gen::frequencyPacked(7050, 3, 4), .texts = {letters, letters, letters}});
  want += head + letters + "\",\"" + letters + "\",\"" + letters + "\",\"0000000161\",\"JA1A\"\r\n";
  TempDir dir;
  writeDatabase(dir.path / "LOG.DBS", qsos);
  OsFileSystem files;
  Sink sink;
  ExtractJob job{(dir.path / "LOG.DBS").string(), {}, dir.path / "t.tmp", dir.path / "d" / "Work.Txt"};
  runExtraction(files, job, sink);
  EXPECT_EQ(files.readAll(job.workPath), want);
  EXPECT_EQ(sink.shown.size(), 1u);  // the last record's warning, whose words the command line's test checks
  // Tied to how the line's quote check counts (sixteen-byte blocks, each byte
  // lane summed before 255 rounds can overflow it): converted modes reach the
  // line whole, their quotes cleaned. The first is longer than any line of the
  // log, with 255 quotes in one byte lane, where the text's quote at some
  // offset makes 256; the second has them after as many blocks without. In the
  // others, a quote count summed wrongly would match the 32 delimiters.
  std::string lane(16 * 255, 'M');
  for (std::size_t i = 0; i < lane.size(); i += 16) lane[i] = '"';
  for (std::string mode : {lane, std::string(4080, 'M') + lane, std::string(4040, 'M') + std::string(15, '"'),
                           std::string(1, '"'), std::string(8, '"'), std::string(31, '"'), "MMMMMMM" + std::string(11, '"')}) {
    ModeTable modes;
    modes.add("", mode);
    job.conversions = {nullptr, &modes};
    runExtraction(files, job, sink);
    std::replace(mode.begin(), mode.end(), '"', ' ');
    std::string converted = want;
    for (std::size_t at = 0; (at = converted.find("\"7\",\"\"", at)) != std::string::npos; at += mode.size())
      converted.insert(at + 5, mode);
    EXPECT_EQ(files.readAll(job.workPath), converted) << mode.size();
  }
}

TEST(BackgroundSync, AnEarlyErrorIsReportedAtTheEnd) {
  std::atomic<int> calls{0};
  BackgroundSync sync([&] { return ++calls == 1 ? 5 : 0; }, 10);
  sync.wrote(10);
  while (calls < 1) std::this_thread::yield();
  sync.wrote(20);
  while (calls < 2) std::this_thread::yield();
  EXPECT_EQ(sync.finish(), 5);  // the later success does not clear it
}

}  // namespace
}  // namespace neb
