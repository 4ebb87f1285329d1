// The platform layer's own rules: the command line taken apart and put
// together, and the Option menu.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <string>

#include "command_line.hpp"
#include "control_ids.hpp"
#include "win32_platform.hpp"

namespace neb::win32 {
namespace {

TEST(CommandLine, ArgumentTextAndProgramFile) {
  const std::pair<const wchar_t*, const wchar_t*> arguments[] = {
      {L"neb01.exe  C:\\SUITE\\ENV.DAT", L" C:\\SUITE\\ENV.DAT"},
      {L"\"C:\\Program Files\\NEB\\neb01.exe\"  C:\\ENV.DAT", L" C:\\ENV.DAT"},
      {L"\"C:\\a b\\neb01.exe\"XC:\\ENV.DAT", L"XC:\\ENV.DAT"},
      {L"C:\\SUITE\\neb01.exe ", L""},
      {L"neb01.exe   trailing  ", L"  trailing  "},
      {L"\"unterminated name", L""},
  };
  for (const auto& [line, text] : arguments) EXPECT_EQ(argumentTextOf(line), text) << line;
  // The menu program is named to CreateProcess only when it lies in the directory.
  const std::pair<const wchar_t*, const wchar_t*> programs[] = {
      {L"C:\\Program Files\\NEB\\nebmenu.exe  C:\\ENV.DAT", L"C:\\Program Files\\NEB\\nebmenu.exe"},
      {L"C:\\Program Files\\NEB\\NEBMENU.EXE x", L"C:\\Program Files\\NEB\\NEBMENU.EXE"},
      {L"C:\\Program Files\\NEBX\\nebmenu.exe x", L""},
      {L"C:\\Program Files\\NEB\\sub\\nebmenu.exe x", L""},
      {L"C:\\Program Files\\NEB\\nebmenu.com x", L""},
  };
  for (const auto& [line, program] : programs)
    EXPECT_EQ(programFileOf(line, L"C:\\Program Files\\NEB"), program) << line;
  EXPECT_EQ(programFileOf(L"D:\\nebmenu.exe XD:\\ENV.DAT", L"D:\\"), L"D:\\nebmenu.exe");
}

TEST(Win32Platform, OptionMenuFailedStartAndTooltips) {
  Win32Platform platform(GetModuleHandleW(nullptr));
  platform.setEnabled(app::Control::Op, false);
  EXPECT_TRUE(GetMenuState(GetMenu(platform.window()), 0, MF_BYPOSITION) & MF_GRAYED);
  platform.setEnabled(app::Control::Op, true);
  EXPECT_FALSE(GetMenuState(GetMenu(platform.window()), 0, MF_BYPOSITION) & MF_GRAYED);
  try {
    platform.startProcess(L"C:\\no-such-dir\\nebmenu.exe  C:\\ENV.DAT");
    ADD_FAILURE() << "started";
  } catch (const IoError& e) {  // "<command line> を起動できません: <the system's reason>"
    EXPECT_EQ(e.message().substr(0, 45), std::string("C:\\no-such-dir\\nebmenu.exe  C:\\ENV.DAT \x82\xf0\x8b\x4e\x93\xae"));
  }
  // Tooltips cannot be read from another process under Wine: checked here.
  const std::pair<int, const wchar_t*> tips[] = {{kCheck1, L"国内移動局が が /JA1 形式の時の時にチェックします"},
                                                 {kCheck2, L"Mode が FM SSB 形式で無い時チェックします"}};
  for (const auto& [id, text] : tips) {
    wchar_t buffer[128] = {};
    TOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.hwnd = platform.window();
    ti.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(platform.window(), id));
    ti.lpszText = buffer;
    SendMessageW(FindWindowExW(nullptr, nullptr, TOOLTIPS_CLASSW, nullptr), TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&ti));
    EXPECT_STREQ(buffer, text) << id;
  }
}

}  // namespace
}  // namespace neb::win32
