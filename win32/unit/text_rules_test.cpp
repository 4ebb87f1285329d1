#include <gtest/gtest.h>

#include <string>

#include "command_line.hpp"
#include "cp932.hpp"

namespace neb::win32 {
namespace {

TEST(ArgumentText, SkipsProgramNameAndExactlyOneBlank) {
  struct Case {
    const wchar_t* commandLine;
    const wchar_t* expected;
  } cases[] = {
      {L"neb01.exe  C:\\SUITE\\ENV.DAT", L" C:\\SUITE\\ENV.DAT"},
      {L"neb01.exe XC:\\SUITE\\ENV.DAT", L"XC:\\SUITE\\ENV.DAT"},
      {L"\"C:\\Program Files\\NEB\\neb01.exe\"  C:\\ENV.DAT", L" C:\\ENV.DAT"},
      {L"\"C:\\a b\\neb01.exe\"XC:\\ENV.DAT", L"XC:\\ENV.DAT"},
      {L"C:\\SUITE\\neb01.exe", L""},
      {L"C:\\SUITE\\neb01.exe ", L""},
      {L"neb01.exe   trailing  ", L"  trailing  "},
      {L"neb01.exe\t x", L" x"},
      {L"\"unterminated name", L""},
      {L"", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(argumentTextOf(c.commandLine), c.expected) << c.commandLine;
}

TEST(DirectoryOf, KeepsBackslashOnlyAtADriveRoot) {
  struct Case {
    const wchar_t* path;
    const wchar_t* expected;
  } cases[] = {
      {L"C:\\SUITE\\neb01.exe", L"C:\\SUITE"},
      {L"D:\\neb01.exe", L"D:\\"},
      {L"\\\\server\\share\\neb01.exe", L"\\\\server\\share"},
      {L"C:\\日本語\\neb01.exe", L"C:\\日本語"},
  };
  for (const Case& c : cases) EXPECT_EQ(directoryOf(c.path), c.expected) << c.path;
}

TEST(ProgramFileOf, NamesTheExeInTheApplicationDirectory) {
  struct Case {
    const wchar_t* commandLine;
    const wchar_t* directory;
    const wchar_t* expected;
  } cases[] = {
      {L"C:\\Program Files\\NEB\\nebmenu.exe  C:\\ENV.DAT", L"C:\\Program Files\\NEB",
       L"C:\\Program Files\\NEB\\nebmenu.exe"},
      {L"D:\\nebmenu.exe XD:\\ENV.DAT", L"D:\\", L"D:\\nebmenu.exe"},
      {L"D:\\SUITE\\nebmenu.exe ", L"D:\\SUITE", L"D:\\SUITE\\nebmenu.exe"},
      {L"D:\\SUITE\\NEBMENU.EXE x", L"D:\\SUITE", L"D:\\SUITE\\NEBMENU.EXE"},
      // Not in the directory, or not an .exe: CreateProcess decides alone.
      {L"E:\\other\\nebmenu.exe x", L"D:\\SUITE", L""},
      {L"D:\\SUITEX\\nebmenu.exe x", L"D:\\SUITE", L""},
      {L"D:\\SUITE\\sub\\nebmenu.exe x", L"D:\\SUITE", L""},
      {L"D:\\SUITE\\nebmenu.com x", L"D:\\SUITE", L""},
      {L"D:\\SUITE\\ x", L"D:\\SUITE", L""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(programFileOf(c.commandLine, c.directory), c.expected) << c.commandLine;
}

TEST(DialogFilter, BarsBecomeNulsWithADoubleNulEnd) {
  EXPECT_EQ(dialogFilter(L"Hamlog (*.DBS)|*.DBS"), std::wstring(L"Hamlog (*.DBS)\0*.DBS\0\0", 22));
}

TEST(Cp932, ConvertsBothWaysByCodePage932) {
  // Texts the window shows, with half-width katakana and a doubled blank.
  struct Case {
    std::string sjis;
    std::wstring wide;
  } cases[] = {
      {"\x83\x74\x83\x40\x83\x43\x83\x8b\x83\x52\x83\x73\x81\x5b\x92\x86", L"ファイルコピー中"},
      {"\xcc\xa7\xb2\xd9\x96\xbc\x96\xa2\x90\xdd\x92\xe8", L"ﾌｧｲﾙ名未設定"},
      {"/JA1 =>  /1  \x95\xcf\x8a\xb7", L"/JA1 =>  /1  変換"},
      {"\x87\x40", L"①"},  // an NEC special character of code page 932
      {"", L""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sjisToWide(c.sjis), c.wide);
    EXPECT_EQ(wideToSjis(c.wide), c.sjis);
  }
}

TEST(Cp932, RefusesCharactersWithoutAShiftJisFormInsteadOfBestFitting) {
  // Without WC_NO_BEST_FIT_CHARS, é would quietly become e and name
  // another file.
  for (const wchar_t* text : {L"C:\\caf\u00e9\\HAMLOG.DBS", L"\u0101", L"\U0001F600"})
    EXPECT_FALSE(wideToSjis(text).has_value()) << static_cast<int>(text[0]);
  EXPECT_EQ(wideToSjisLossy(L"C:\\caf\u00e9"), "C:\\caf?");
}

TEST(Cp932, InvalidBytesShowAsReplacementsNotAsNothing) {
  const std::wstring shown = sjisToWide("A\x85\x40Z");  // 0x8540 is unassigned
  ASSERT_GE(shown.size(), 3u);
  EXPECT_EQ(shown.front(), L'A');
  EXPECT_EQ(shown.back(), L'Z');
}

}  // namespace
}  // namespace neb::win32
