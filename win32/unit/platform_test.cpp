// The platform layer against a real (hidden) window.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>

#include "control_ids.hpp"
#include "win32_platform.hpp"

namespace neb::win32 {
namespace {

using app::Control;

class PlatformTest : public ::testing::Test {
protected:
  void SetUp() override {
    try {
      platform_ = std::make_unique<Win32Platform>(GetModuleHandleW(nullptr));
    } catch (const std::exception& e) {
      GTEST_SKIP() << "no window system: " << e.what();
    }
  }
  std::wstring text(HWND hwnd) {
    wchar_t buffer[512] = {};
    GetWindowTextW(hwnd, buffer, 512);
    return buffer;
  }
  std::unique_ptr<Win32Platform> platform_;
};

TEST_F(PlatformTest, ControlsCarryTheirIdsAndDesignTexts) {
  struct Case {
    int id;
    const wchar_t* text;
  } cases[] = {
      {kCommand1, L"開始"},
      {kCommand2, L"中止"},
      {kCheck1, L"/JA1 =>  /1  変換"},
      {kCheck2, L"モード 形式変換"},
      {kLabel1, L"ﾌｧｲﾙ名未設定"},
      {kLabel2, L""},
      {kLabel3, L""},
      {kFrame1, L"データ抽出"},
      {kFrame2, L"件数"},
  };
  for (const Case& c : cases) {
    HWND hwnd = GetDlgItem(platform_->window(), c.id);
    ASSERT_NE(hwnd, nullptr) << c.id;
    EXPECT_EQ(text(hwnd), c.text) << c.id;
  }
  EXPECT_EQ(text(platform_->window()), L"HAMLOG からの抽出");
  EXPECT_FALSE(platform_->isChecked(Control::Check1));
  EXPECT_FALSE(platform_->isChecked(Control::Check2));
}

TEST_F(PlatformTest, CheckBoxesUseTheWindowsMinchoTheRestGothic) {
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  struct Case {
    int id;
    const wchar_t* face;
    int hundredthsOfPoint;
  } cases[] = {
      {kCheck1, L"ＭＳ 明朝", 975},     {kCheck2, L"ＭＳ 明朝", 975},     {kCommand1, L"ＭＳ Ｐゴシック", 900},
      {kCommand2, L"ＭＳ Ｐゴシック", 900}, {kLabel1, L"ＭＳ Ｐゴシック", 900},  {kLabel2, L"ＭＳ Ｐゴシック", 900},
      {kLabel3, L"ＭＳ Ｐゴシック", 900},   {kFrame1, L"ＭＳ Ｐゴシック", 900},  {kFrame2, L"ＭＳ Ｐゴシック", 900},
  };
  for (const Case& c : cases) {
    auto font = reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(platform_->window(), c.id), WM_GETFONT, 0, 0));
    LOGFONTW lf{};
    ASSERT_TRUE(font && GetObjectW(font, sizeof lf, &lf)) << c.id;
    EXPECT_STREQ(lf.lfFaceName, c.face) << c.id;
    EXPECT_EQ(lf.lfCharSet, SHIFTJIS_CHARSET) << c.id;
    EXPECT_EQ(lf.lfHeight, -MulDiv(c.hundredthsOfPoint, dpi, 7200)) << c.id;
  }
}

TEST_F(PlatformTest, CheckBoxesCarryTheirTooltips) {
  HWND tooltip = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND hwnd, LPARAM found) {
        wchar_t cls[64];
        GetClassNameW(hwnd, cls, 64);
        if (std::wstring(cls) == TOOLTIPS_CLASSW) *reinterpret_cast<HWND*>(found) = hwnd;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&tooltip));
  ASSERT_NE(tooltip, nullptr);
  const std::pair<int, const wchar_t*> tips[] = {
      {kCheck1, L"国内移動局が が /JA1 形式の時の時にチェックします"},
      {kCheck2, L"Mode が FM SSB 形式で無い時チェックします"},
  };
  for (const auto& [id, expected] : tips) {
    wchar_t buffer[256] = {};
    TOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.hwnd = platform_->window();
    ti.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(platform_->window(), id));
    ti.lpszText = buffer;
    SendMessageW(tooltip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&ti));
    EXPECT_STREQ(buffer, expected) << id;
  }
}

TEST_F(PlatformTest, EachControlOfTheShellMapsToItsOwnWindow) {
  const std::pair<Control, int> map[] = {
      {Control::Command1, kCommand1}, {Control::Command2, kCommand2}, {Control::Check1, kCheck1},
      {Control::Check2, kCheck2},     {Control::Label1, kLabel1},     {Control::Label2, kLabel2},
      {Control::Label3, kLabel3},
  };
  for (const auto& [control, id] : map) {
    // Shift_JIS "12345" differs per control so a crossed mapping shows.
    const std::string caption = "\x83\x65\x83\x58\x83\x67" + std::to_string(id);  // テスト<id>
    platform_->setCaption(control, caption);
    EXPECT_EQ(text(GetDlgItem(platform_->window(), id)), L"テスト" + std::to_wstring(id));
  }
  SendMessageW(GetDlgItem(platform_->window(), kCheck2), BM_SETCHECK, BST_CHECKED, 0);
  EXPECT_FALSE(platform_->isChecked(Control::Check1));
  EXPECT_TRUE(platform_->isChecked(Control::Check2));
}

TEST_F(PlatformTest, DisablingTheOptionMenuGraysItsTopLevelItem) {
  HMENU bar = GetMenu(platform_->window());
  ASSERT_NE(bar, nullptr);
  platform_->setEnabled(Control::Op, false);
  EXPECT_TRUE(GetMenuState(bar, 0, MF_BYPOSITION) & MF_GRAYED);
  platform_->setEnabled(Control::Op, true);
  EXPECT_FALSE(GetMenuState(bar, 0, MF_BYPOSITION) & MF_GRAYED);

  platform_->setEnabled(Control::Command1, false);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(platform_->window(), kCommand1)));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(platform_->window(), kCommand2)));
}

TEST_F(PlatformTest, TabGoesStartStopCheck1Check2AndSkipsDisabledControls) {
  HWND w = platform_->window();
  auto next = [&](int id) { return GetDlgCtrlID(GetNextDlgTabItem(w, GetDlgItem(w, id), FALSE)); };
  EXPECT_EQ(next(kCommand1), kCommand2);
  EXPECT_EQ(next(kCommand2), kCheck1);
  EXPECT_EQ(next(kCheck1), kCheck2);
  EXPECT_EQ(next(kCheck2), kCommand1);
  platform_->setEnabled(Control::Check1, false);
  EXPECT_EQ(next(kCommand2), kCheck2);
}

TEST_F(PlatformTest, ProcessMessagesDrainsTheQueue) {
  constexpr UINT kProbe = WM_APP + 7;
  for (int i = 0; i < 500; ++i) PostMessageW(platform_->window(), kProbe, 0, 0);
  platform_->processMessages();
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, kProbe, kProbe, PM_NOREMOVE));
}

TEST_F(PlatformTest, ClientAreaIsTheFormsSizeAtTheWindowsDpi) {
  RECT client;
  GetClientRect(platform_->window(), &client);
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  EXPECT_NEAR(client.right, MulDiv(362, dpi, 96), 2);
  EXPECT_NEAR(client.bottom, MulDiv(267, dpi, 96), 2);
}

TEST_F(PlatformTest, AFailedStartIsReportedNotIgnored) {
  EXPECT_THROW(platform_->startProcess(L"C:\\no-such-dir\\nebmenu.exe  C:\\ENV.DAT"), IoError);
}

TEST_F(PlatformTest, ApplicationDirectoryHoldsTheExecutable) {
  const std::wstring dir = platform_->applicationDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_TRUE(dir.back() != L'\\' || dir.size() == 3) << dir.size();
  wchar_t module[MAX_PATH];
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  EXPECT_EQ(std::wstring(module).rfind(dir, 0), 0u);
}

}  // namespace
}  // namespace neb::win32
