// Every text the Windows front end shows beyond the engine's and the
// application's own: the window's captions, menu, tips and its last-resort
// boxes. Titles come from the layers that own them.
#pragma once

#include <string>

#include "suite_names.hpp"
#include "text_codec.hpp"

namespace neb::win32::text {

// The title of every box of the program, and the suite's.
inline std::wstring appTitle() { return sjisToNativeLossy(title::app); }
inline std::wstring suiteTitle() { return sjisToNativeLossy(title::suite); }

inline constexpr wchar_t windowCaption[] = L"HAMLOG からの抽出";
inline constexpr wchar_t start[] = L"開始";
inline constexpr wchar_t stop[] = L"中止";
inline constexpr wchar_t portableArea[] = L"/JA1 =>  /1  変換";
inline constexpr wchar_t modeConversion[] = L"モード 形式変換";
inline constexpr wchar_t noFileName[] = L"ﾌｧｲﾙ名未設定";
inline constexpr wchar_t countFrame[] = L"件数";
inline constexpr wchar_t extractFrame[] = L"データ抽出";
inline constexpr wchar_t optionMenu[] = L"Option";
inline constexpr wchar_t hamlogSetMenu[] = L"Hamlog ﾌｧｲﾙ設定";
inline constexpr wchar_t menuXMenu[] = L"MENU で環境設定";
inline constexpr wchar_t portableAreaTip[] = L"国内移動局が が /JA1 形式の時の時にチェックします";
inline constexpr wchar_t modeConversionTip[] = L"Mode が FM SSB 形式で無い時チェックします";
inline constexpr wchar_t mincho[] = L"ＭＳ 明朝";
inline constexpr wchar_t pGothic[] = L"ＭＳ Ｐゴシック";

inline constexpr wchar_t outOfMemory[] = L"メモリが足りません";
inline constexpr wchar_t unexpected[] = L"予期しないエラーが発生しました";
// Followed by the dialog's error number and ")".
inline constexpr wchar_t noOpenDialog[] = L"ファイルを選択する画面を開けません (エラー ";
// After the title: the program could not start.
inline constexpr wchar_t cannotStart[] = L" を開始できません";
// Followed by the system's reason.
inline constexpr wchar_t noWindow[] = L"ウィンドウを作成できません: ";

// The suite-menu stand-in (nebmenu.exe). After a title or a file:
inline constexpr wchar_t menuCaption[] = L" メニュー";
inline constexpr wchar_t startApp[] = L" を起動";
inline constexpr wchar_t cannotStartFile[] = L" を起動できません";
inline constexpr wchar_t arguments[] = L"引数:";
inline constexpr wchar_t noWorkFile[] = L": なし";
inline constexpr wchar_t lines[] = L" 行";

}  // namespace neb::win32::text
