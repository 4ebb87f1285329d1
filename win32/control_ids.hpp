// Control and menu ids of the main window, shared by the front end and the
// UI-automation driver.
#pragma once

namespace neb::win32 {

inline constexpr wchar_t kMainWindowClass[] = L"NEB01Form1";
inline constexpr wchar_t kMenuStandInClass[] = L"NEB01MenuStandIn";

enum ControlId : int {
  kCommand1 = 101,  // 開始
  kCommand2 = 102,  // 中止
  kCheck1 = 103,    // /JA1 =>  /1  変換
  kCheck2 = 104,    // モード 形式変換
  kLabel1 = 105,    // HAMLOG path
  kLabel2 = 106,    // QSO count
  kLabel3 = 107,    // progress
  kFrame1 = 108,
  kFrame2 = 109,
  kMenuHamlogSet = 201,  // Option > Hamlog ﾌｧｲﾙ設定
  kMenuX = 202,          // Option > MENU で環境設定
};

}  // namespace neb::win32
