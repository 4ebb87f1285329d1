#include "random_log.hpp"

#include <cstdio>
#include <iterator>
#include <string>
#include <string_view>

namespace neb::gen {

namespace {

// Shift_JIS texts; octal escapes so that no following letter is read as part
// of an escape.
const char* const kLongTexts[] = {
    "\223\214\213\236\223s\215`\213\346",          // 東京都港区
    "\221\345\215\343\216s\226k\213\346",          // 大阪市北区
    "\216D\226y\216s\222\206\211\233\213\346",     // 札幌市中央区
    "\211\241\225l\216s\220\302\227t\213\346",     // 横浜市青葉区
    "\226\274\214\303\211\256\216s\222\206\213\346",  // 名古屋市中区
    "\225\237\211\252\216s\224\216\221\275\213\346",  // 福岡市博多区
    "\220\345\221\344\216s\220\302\227t\213\346",  // 仙台市青葉区
    "\215L\223\207\216s\223\354\213\346",          // 広島市南区
    "\223\337\224e\216s",                          // 那覇市
    "\213\236\223s\216s\215\266\213\236\213\346",  // 京都市左京区
    "\273\262\300\317\274",                        // ｻｲﾀﾏｼ
    "\220_\214\313\216s\223\345\213\346",          // 神戸市灘区
    "JA1YRL", "",
};
const char* const kShortTexts[] = {
    "\221\276\230Y",      // 太郎
    "\211\324\216q",      // 花子
    "\210\352\230Y",      // 一郎
    "\300\333\263",       // ﾀﾛｳ
    "\216R\223c",         // 山田
    "\215\262\223\241",   // 佐藤
    "\227\351\226\330",   // 鈴木
    "\312\305\272",       // ﾊﾅｺ
    "100101", "2501", "13007", "", "",
};
const char* const kNames[] = {
    "\216R\223c \221\276\230Y",               // 山田 太郎
    "\215\262\223\241 \211\324\216q",         // 佐藤 花子
    "\227\351\226\330 \210\352\230Y",         // 鈴木 一郎
    "\215\202\213\264 \216\237\230Y",         // 高橋 次郎
    "\223c\222\206 \216O\230Y",               // 田中 三郎
    "\334\300\305\315\336 \271\335",          // ﾜﾀﾅﾍﾞ ｹﾝ
    "\210\311\223\241 \224\374\215\201",      // 伊藤 美香
    "\222\206\221\272 \214\222",              // 中村 健
    "John", "",
};
const char* const kAddresses[] = {
    "\223\214\213\236\223s\220\347\221\343\223c\213\346",          // 東京都千代田区
    "\220_\223\336\220\354\214\247\211\241\225l\216s",             // 神奈川県横浜市
    "\221\345\215\343\225{\221\345\215\343\216s",                  // 大阪府大阪市
    "\226k\212C\223\271\216D\226y\216s",                           // 北海道札幌市
    "\210\244\222m\214\247\226\274\214\303\211\256\216s",          // 愛知県名古屋市
    "\225\237\211\252\214\247\225\237\211\252\216s",               // 福岡県福岡市
    "\213{\217\351\214\247\220\345\221\344\216s",                  // 宮城県仙台市
    "\211\253\223\352\214\247\223\337\224e\216s",                  // 沖縄県那覇市
    "\222\267\226\354\214\247\217\274\226{\216s",                  // 長野県松本市
    "\220V\212\203\214\247\220V\212\203\216s",                     // 新潟県新潟市
};
const char* const kRemarks[] = {
    "QSL via Bureau",
    "\202e\202a \202p\202r\202n",            // ＦＢ ＱＳＯ
    "\210\332\223\256\211^\227p",            // 移動運用
    "QSL \266\260\304\336 \215\317",         // QSL ｶｰﾄﾞ 済
    "\217\211\214\360\220M",                 // 初交信
    "\203R\203\223\203e\203X\203g",          // コンテスト
    "",
    "JARL \214o\227R",                       // JARL 経由
};
const char* const kJaPrefixes[] = {"JA", "JE", "JF", "JG", "JH", "JI", "JJ", "JK", "JL", "JM",
                                   "JN", "JO", "JP", "JQ", "JR", "JS", "7K", "7L", "7M", "7N"};
const char* const kDxCalls[] = {"W1AW", "K6XX", "VK2ABC", "DL1ABC", "BV2AA", "HL1XP", "UA0AA",
                                "KH6AB", "VE3XYZ", "DU1ABC", "BY1AA", "G4ABC"};
const char* const kModes[] = {"SSB", "SSB", "CW", "CW", "FM", "FM", "AM", "RTT", "FT8", "LSB",
                              "USB", "FT4", "DV"};
const char* const kFlags = "JEBMN ";

struct Band {
  const char* text;  // the text form
  int lowKhz;
  int highKhz;
  int decimals;  // of the MHz text in the packed form
};
const Band kBands[] = {
    {"1.9", 1810, 1912, 3},   {"3.5", 3500, 3805, 3},     {"7", 7000, 7200, 3},
    {"10", 10100, 10150, 3},  {"14", 14000, 14350, 3},    {"18", 18068, 18168, 3},
    {"21", 21000, 21450, 3},  {"24", 24890, 24990, 3},    {"28", 28000, 29700, 3},
    {"50", 50000, 54000, 3},  {"144", 144000, 146000, 2}, {"430", 430000, 440000, 2},
    {"1200", 1260000, 1300000, 1}, {"2400", 2400000, 2450000, 1}, {"5600", 5650000, 5850000, 1},
};

template <class T, std::size_t N>
const T& pick(Rng& rng, const T (&items)[N]) {
  return items[rng.below(static_cast<std::uint32_t>(N))];
}

std::string mhzText(int khz, int decimals) {
  char buf[32];
  const int mhz = khz / 1000;
  const int frac = khz % 1000;
  if (decimals == 3) std::snprintf(buf, sizeof buf, "%d.%03d", mhz, frac);
  else if (decimals == 2) std::snprintf(buf, sizeof buf, "%d.%02d", mhz, frac / 10);
  else std::snprintf(buf, sizeof buf, "%d.%d", mhz, frac / 100);
  return buf;
}

}  // namespace

std::uint64_t Rng::next() {
  // splitmix64
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

GenQso RandomLog::next() {
  GenQso q;
  ordinary(q);
  return q;
}

void RandomLog::ordinary(GenQso& q) {
  Rng& r = rng_;
  if (r.chance(90)) {
    q.call = std::string(pick(r, kJaPrefixes)) + static_cast<char>('0' + r.below(10));
    const std::uint32_t letters = 2 + r.below(2);
    for (std::uint32_t i = 0; i < letters; ++i) q.call += static_cast<char>('A' + r.below(26));
  } else {
    q.call = pick(r, kDxCalls);
  }
  if (r.chance(15)) {
    static const char* const portables[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "0",
                                            "JA1", "JH3", "JR6", "7K1", "JE7", "P", "QRP"};
    q.portable = pick(r, portables);
  }
  q.shortText1 = pick(r, kShortTexts);
  q.shortText2 = r.chance(30) ? pick(r, kShortTexts) : "";
  const Band& band = pick(r, kBands);
  if (r.chance(30)) {
    q.frequency = frequencyText(band.text);
  } else {
    const auto khz = band.lowKhz + static_cast<int>(r.below(static_cast<std::uint32_t>(band.highKhz - band.lowKhz)));
    q.frequency = frequencyMhz(mhzText(khz, band.decimals));
  }
  q.mode = pick(r, kModes);
  q.longText = pick(r, kLongTexts);
  q.flags = {kFlags[r.below(6)], kFlags[r.below(6)], kFlags[r.below(6)]};
  q.year = yearByte(1990 + static_cast<int>(r.below(37)));
  q.month = static_cast<std::uint8_t>(1 + r.below(12));
  q.day = static_cast<std::uint8_t>(1 + r.below(28));
  q.hour = static_cast<std::uint8_t>(r.below(24));
  q.minute = minuteByte(static_cast<int>(r.below(60)), r.chance(30));
  const bool cw = q.mode == "CW" || q.mode == "RTT";
  q.report1 = static_cast<std::uint8_t>(cw ? 59 : 50 + r.below(10));
  q.extra1 = cw ? static_cast<std::uint8_t>('9') : ' ';
  q.report2 = static_cast<std::uint8_t>(cw ? 57 : 50 + r.below(10));
  q.extra2 = cw ? static_cast<std::uint8_t>('0' + 7 + r.below(3)) : ' ';
  q.texts[0] = r.chance(70) ? pick(r, kNames) : "";
  q.texts[1] = r.chance(60) ? pick(r, kAddresses) : "";
  q.texts[2] = pick(r, kRemarks);
  if (!q.portable.empty() && r.chance(20)) q.texts[2] += " $DX";
}

}  // namespace neb::gen
