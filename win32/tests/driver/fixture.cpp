#include "fixture.hpp"

#include <windows.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <tuple>

namespace e2e {

std::string sjis(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

std::wstring fromUtf8(const std::string& text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::optional<std::string> readFile(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string out;
  char buf[1 << 16];
  DWORD n = 0;
  while (ReadFile(f, buf, sizeof buf, &n, nullptr) && n > 0) out.append(buf, n);
  CloseHandle(f);
  return out;
}

bool writeFile(const std::wstring& path, const std::string& bytes) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD n = 0;
  bool ok = bytes.empty() ||
            (WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) &&
             n == bytes.size());
  CloseHandle(f);
  return ok;
}

bool fileExists(const std::wstring& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::vector<std::string> workFields(const std::string& line) {
  std::vector<std::string> fields;
  if (line.size() < 2 || line.front() != '"' || line.back() != '"') return fields;
  const std::string inner = line.substr(1, line.size() - 2);
  std::size_t start = 0;
  for (;;) {
    std::size_t sep = inner.find("\",\"", start);
    fields.push_back(inner.substr(start, sep == std::string::npos ? sep : sep - start));
    if (sep == std::string::npos) break;
    start = sep + 3;
  }
  return fields;
}

std::wstring windowsPath(const std::wstring& path) {
  if (path.empty() || path[0] != L'/') return path;
  std::wstring out = L"Z:" + path;
  for (wchar_t& c : out) {
    if (c == L'/') c = L'\\';
  }
  return out;
}

std::wstring dirOf(const std::wstring& path) {
  std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

void textFreq(Qso& q, const char* text) {
  std::memset(q.freq, ' ', 4);
  for (int i = 0; i < 4 && text[i]; ++i) q.freq[i] = static_cast<std::uint8_t>(text[i]);
}

void packedFreq(Qso& q, std::uint32_t digits, int keep, int point) {
  q.freq[0] = static_cast<std::uint8_t>(digits & 0xFF);
  q.freq[1] = static_cast<std::uint8_t>((digits >> 8) & 0xFF);
  q.freq[2] = static_cast<std::uint8_t>((digits >> 16) & 0xFF);
  q.freq[3] = static_cast<std::uint8_t>(0x80 | ((keep & 7) << 3) | (point & 7));
}

namespace {

std::uint32_t next(std::uint64_t& seed) {
  seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
  return static_cast<std::uint32_t>(seed >> 33);
}

template <typename T, std::size_t N>
const T& pick(std::uint64_t& seed, const T (&items)[N]) {
  return items[next(seed) % N];
}

void putText(std::string& rec, std::size_t offset, std::size_t width, const std::string& text) {
  for (std::size_t i = 0; i < width; ++i) rec[offset + i] = i < text.size() ? text[i] : ' ';
}

}  // namespace

Qso sampleQso(std::uint64_t& seed) {
  static const char* const calls[] = {"JA1ABC", "JH1XYZ", "7K1AAA", "JR2QQQ", "W1AW",
                                      "JA1AB",  "K\"1ZZ", "JE3DDD", "8J1RL",  "JA0AAAA"};
  static const char* const suffixes[] = {"", "", "", "JA1", "JR2", "7K3", "1", "ja1", "Q", "QR"};
  static const char* const modes[] = {"SSB", "CW", "FM", "lsb", "LSB", "USB", "AM", "RTT", ""};
  struct F {
    bool packed;
    const char* text;
    std::uint32_t digits;
    int keep, point;
  };
  static const F freqs[] = {{false, "7", 0, 0, 0},       {false, "14", 0, 0, 0},
                            {false, "430", 0, 0, 0},     {false, "1.9", 0, 0, 0},
                            {false, "29.6", 0, 0, 0},    {true, nullptr, 7050, 4, 1},
                            {true, nullptr, 144100, 6, 3}, {true, nullptr, 21300, 5, 2},
                            {true, nullptr, 1294000, 0, 4}, {true, nullptr, 50100, 5, 2}};
  static const std::wstring texts[][3] = {
      {L"", L"", L""},
      {L"東京都港区", L"$DX", L"abc,def"},
      {L"\"引用\"", L"”右”と“左”", L""},
      {L"ﾊﾝｶｸ", L"", L"QSL via $DX bureau"},
      {L"  spaced  ", L"x", L"大阪"},
  };
  Qso q;
  q.call = pick(seed, calls);
  q.suffix = pick(seed, suffixes);
  q.mode = pick(seed, modes);
  const F& f = pick(seed, freqs);
  if (f.packed) {
    packedFreq(q, f.digits, f.keep, f.point);
  } else {
    textFreq(q, f.text);
  }
  q.text1 = next(seed) % 3 == 0 ? sjis(L"ｶﾝｻｲ") : "";
  q.text2 = next(seed) % 4 == 0 ? "100W" : "";
  q.longText = next(seed) % 5 == 0 ? sjis(L"移動運用　") : "";
  q.year = static_cast<std::uint8_t>(100 + next(seed) % 40);
  q.month = static_cast<std::uint8_t>(1 + next(seed) % 12);
  q.day = static_cast<std::uint8_t>(1 + next(seed) % 28);
  q.hour = static_cast<std::uint8_t>(next(seed) % 24);
  q.minute = static_cast<std::uint8_t>((next(seed) % 60) | (next(seed) % 2 ? 0x80 : 0));
  q.report1 = static_cast<std::uint8_t>(next(seed) % 2 ? 59 : 5);
  q.report1x = next(seed) % 2 ? '9' : ' ';
  q.report2 = 57;
  const auto& t = texts[next(seed) % (sizeof texts / sizeof texts[0])];
  q.hasTexts = !t[0].empty() || !t[1].empty() || !t[2].empty();
  q.dbr1 = sjis(t[0]);
  q.dbr2 = sjis(t[1]);
  q.dbr3 = sjis(t[2]);
  return q;
}

bool writeDatabase(const std::wstring& dbsPath, const std::vector<Qso>& first,
                   std::uint32_t count, std::uint64_t seed, std::uint32_t headerCount) {
  const bool lower = !dbsPath.empty() && dbsPath.back() == L's';
  const std::wstring dbrPath = dbsPath.substr(0, dbsPath.size() - 3) + (lower ? L"dbr" : L"DBR");
  HANDLE dbs = CreateFileW(dbsPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (dbs == INVALID_HANDLE_VALUE) return false;
  std::string dbr(1, '\0');  // offset 0 would mean "no texts"
  std::map<std::tuple<std::string, std::string, std::string>, std::int32_t> blocks;

  std::string out(449, '\0');
  std::memcpy(out.data(), "HLG1", 4);
  const std::uint32_t stated = headerCount ? headerCount : count;
  out[4] = static_cast<char>(stated & 0xFF);
  out[5] = static_cast<char>((stated >> 8) & 0xFF);
  out[6] = static_cast<char>((stated >> 16) & 0xFF);
  out[7] = 0x05;  // not part of the count

  bool ok = true;
  DWORD n = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const Qso q = i < first.size() ? first[i] : sampleQso(seed);
    std::string rec(58, ' ');
    rec[0] = 'A';
    putText(rec, 1, 7, q.call);
    putText(rec, 8, 3, q.suffix);
    putText(rec, 11, 6, q.text1);
    putText(rec, 17, 6, q.text2);
    for (int k = 0; k < 4; ++k) rec[23 + static_cast<std::size_t>(k)] = static_cast<char>(q.freq[k]);
    putText(rec, 27, 3, q.mode);
    putText(rec, 30, 12, q.longText);
    const std::uint8_t tail[] = {q.year,    q.month,    q.day,     q.hour,   q.minute,
                                 q.report1, q.report1x, q.report2, q.report2x};
    std::memcpy(&rec[45], tail, sizeof tail);
    std::int32_t pointer = 0;
    if (q.hasTexts) {
      auto key = std::make_tuple(q.dbr1, q.dbr2, q.dbr3);
      auto it = blocks.find(key);
      if (it == blocks.end()) {
        pointer = static_cast<std::int32_t>(dbr.size());
        dbr += static_cast<char>(q.dbr1.size());
        dbr += static_cast<char>(q.dbr2.size());
        dbr += static_cast<char>(q.dbr3.size());
        dbr += q.dbr1 + q.dbr2 + q.dbr3;
        blocks.emplace(key, pointer);
      } else {
        pointer = it->second;
      }
    }
    std::memcpy(&rec[54], &pointer, 4);  // little-endian target
    out += rec;
    if (out.size() >= (1 << 20)) {
      ok = ok && WriteFile(dbs, out.data(), static_cast<DWORD>(out.size()), &n, nullptr);
      out.clear();
    }
  }
  ok = ok && (out.empty() || WriteFile(dbs, out.data(), static_cast<DWORD>(out.size()), &n, nullptr));
  CloseHandle(dbs);
  return ok && writeFile(dbrPath, dbr);
}

}  // namespace e2e
