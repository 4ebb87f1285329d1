// Files for the end-to-end scenarios: a suite directory with the program,
// the menu stand-in, an environment file and a HAMLOG database of our own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

std::string sjis(const std::wstring& text);  // code page 932
std::wstring fromUtf8(const std::string& text);

std::optional<std::string> readFile(const std::wstring& path);
bool writeFile(const std::wstring& path, const std::string& bytes);
bool fileExists(const std::wstring& path);
std::vector<std::string> splitLines(const std::string& text);  // CR LF separated
// Fields of one work-file line: "a","b",... -> a, b, ...
std::vector<std::string> workFields(const std::string& line);

// A Windows path for a path given on a Wine command line ("/x/y" -> "Z:\x\y").
std::wstring windowsPath(const std::wstring& path);
std::wstring dirOf(const std::wstring& path);

// One QSO as stored: texts are Shift_JIS bytes, cut or padded with blanks.
struct Qso {
  std::string call = "JA1ABC";
  std::string suffix;
  std::string text1, text2;
  std::uint8_t freq[4] = {'7', '.', '0', '5'};
  std::string mode = "SSB";
  std::string longText;
  std::uint8_t year = 104, month = 7, day = 5, hour = 9, minute = 5 | 0x80;
  std::uint8_t report1 = 59, report1x = ' ', report2 = 59, report2x = ' ';
  bool hasTexts = false;
  std::string dbr1, dbr2, dbr3;
};

void textFreq(Qso& q, const char* text);  // up to 4 characters, text form
void packedFreq(Qso& q, std::uint32_t digits, int keep, int point);

// A deterministic mix of calls, suffixes, bands, modes and texts, all with
// valid frequencies (so no box interrupts a run).
Qso sampleQso(std::uint64_t& seed);

// Writes NAME.DBS and NAME.DBR (or .dbs and .dbr). Records after
// the given ones, up to count, are taken from sampleQso.
// The header states headerCount QSOs when given (more than are stored: a
// log cut short).
bool writeDatabase(const std::wstring& dbsPath, const std::vector<Qso>& first,
                   std::uint32_t count, std::uint64_t seed = 1, std::uint32_t headerCount = 0);

}  // namespace e2e
