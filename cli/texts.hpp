// Every text neb01-extract writes itself, in English and in Japanese (UTF-8).
// %1 and %2 stand for the arguments. Texts that come from the engine's own
// messages are not here: they are Japanese in every language.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>

#include "native_text.hpp"

#include "extract_cli.hpp"

namespace neb::cli {

enum class Msg {
  Usage,
  GivenTwice,
  NeedsValue,
  TwoEnvFiles,
  UnknownOption,
  EnvAndHamlog,
  NoInput,
  AreaNeedsEnv,
  EmptyAppDir,
  EmptyOutput,
  NoModeTable,
  EnvMissing,
  NoHamlogDefined,
  NotShiftJis,
  ReplacesInput,
  Interrupted,
  OutOfMemory,
  WrittenOne,
  Written,
  Count
};


struct Text {
  Msg key;
  std::string_view en;
  std::string_view ja;
};

inline constexpr Text kTexts[] = {
    {Msg::Usage,
     "usage: neb01-extract [-a|--area-suffix] [-m|--mode-convert] [--app-dir DIR] [-o|--output FILE] [-q|--quiet] ENV_FILE\n"
     "       neb01-extract [-m|--mode-convert] [--app-dir DIR] [-o|--output FILE] [-q|--quiet] --hamlog DBS_PATH\n"
     "\n"
     "Writes one line per HAMLOG QSO into the work file DIR" NEB_PATH_SEPARATOR "data" NEB_PATH_SEPARATOR "Work.Txt (or FILE).\n"
     "  ENV_FILE            the suite's environment file (#01 HAMLOG path, $ prefixes)\n"
     "  --hamlog DBS_PATH   the HAMLOG record file, without an environment file\n"
     "  -a, --area-suffix   portable area designators such as JA1 become 1\n"
     "  -m, --mode-convert  modes converted through DIR" NEB_PATH_SEPARATOR "Mode.txt, which must exist\n"
     "  --app-dir DIR       the suite's directory (default: the program's directory)\n"
     "  -o, --output FILE   the work file to replace; its directory must exist\n"
     "  -q, --quiet         no progress bar\n"
     "  -h, --help          this text\n"
     "  --version           the program's version\n"
     "Messages go to standard error, one line each.\n"
     "Exit status: 0 work file replaced, 1 failure (work file untouched),\n"
     "2 usage error, 130 interrupted (work file untouched).\n",
     "使い方: neb01-extract [-a|--area-suffix] [-m|--mode-convert] [--app-dir DIR] [-o|--output FILE] [-q|--quiet] ENV_FILE\n"
     "        neb01-extract [-m|--mode-convert] [--app-dir DIR] [-o|--output FILE] [-q|--quiet] --hamlog DBS_PATH\n"
     "\n"
     "HAMLOG の交信を 1 件 1 行で、作業ファイル DIR" NEB_PATH_SEPARATOR "data" NEB_PATH_SEPARATOR "Work.Txt に書き出します。\n"
     "  ENV_FILE            NEBWD の環境ファイル（#01 の行に HAMLOG の場所、\n"
     "                      $ の行にプリフィックス）\n"
     "  --hamlog DBS_PATH   環境ファイルを使わず、HAMLOG の .DBS を直接指定します\n"
     "  -a, --area-suffix   JA1 のような移動地の表記を 1 にします\n"
     "  -m, --mode-convert  DIR" NEB_PATH_SEPARATOR "Mode.txt でモード名を変換します\n"
     "                      （Mode.txt がないと終了コード 2 で終わります）\n"
     "  --app-dir DIR       NEBWD のフォルダー（省略時はこのプログラムのフォルダー）\n"
     "  -o, --output FILE   Work.Txt の代わりに書き出すファイル\n"
     "                      （FILE のフォルダーは先に作っておいてください）\n"
     "  -q, --quiet         進み具合を表示しません\n"
     "  -h, --help          この説明を表示します\n"
     "  --version           バージョンを表示します\n"
     "メッセージは標準エラー出力に 1 件 1 行で出ます。\n"
     "終了コード: 0   作業ファイルを置き換えました\n"
     "            1   失敗しました（作業ファイルは元のまま）\n"
     "            2   オプションの指定が誤っています\n"
     "            130 中断しました（作業ファイルは元のまま）\n"},
    {Msg::GivenTwice, "%1 given twice", "%1 が 2 回指定されています"},
    {Msg::NeedsValue, "%1 needs a value", "%1 のあとに値を指定してください"},
    {Msg::TwoEnvFiles, "more than one ENV_FILE", "ENV_FILE は 1 つだけ指定してください"},
    {Msg::UnknownOption, "unknown option %1", "%1 というオプションはありません"},
    {Msg::EnvAndHamlog, "ENV_FILE and --hamlog exclude each other", "ENV_FILE と --hamlog は一緒に指定できません"},
    {Msg::NoInput, "no ENV_FILE and no --hamlog", "ENV_FILE か --hamlog DBS_PATH を指定してください"},
    {Msg::AreaNeedsEnv, "-a needs the area prefixes of an ENV_FILE",
     "-a は ENV_FILE のプリフィックス（$ の行）を使うため、--hamlog とは一緒に使えません"},
    {Msg::EmptyAppDir, "--app-dir is empty", "--app-dir の値が空です"},
    {Msg::EmptyOutput, "--output is empty", "--output の値が空です"},
    {Msg::NoModeTable, "-m needs the mode table %1, which does not exist",
     "-m にはモード変換表 %1 が必要ですが、見つかりません"},
    // The Japanese is the window's own wording of this message.
    {Msg::EnvMissing, "%1: the environment file does not exist", "環境ﾌｧｲﾙが見当たりません: %1"},
    {Msg::NoHamlogDefined, "%1: no HAMLOG file is defined (no \"#01\" item followed by a path)",
     "%1: HAMLOG ファイルが定義されていません（パスの付いた #01 の行がありません）"},
    {Msg::NotShiftJis, "%1: the HAMLOG path cannot be written in Shift_JIS",
     "%1: Shift_JIS で表せない文字があるため、HAMLOG の場所として使えません"},
    {Msg::ReplacesInput, "%1: the work file would replace an input file, %2",
     "%1: 入力ファイル %2 を上書きしてしまうため、書き出しません"},
    {Msg::Interrupted, "interrupted; the work file is unchanged", "中断しました。作業ファイルは元のままです"},
    {Msg::OutOfMemory, "out of memory; the work file is unchanged", "メモリーが足りません。作業ファイルは元のままです"},
    {Msg::WrittenOne, "%1 QSO written to %2", "%1 件の交信を %2 に書き出しました"},
    {Msg::Written, "%1 QSOs written to %2", "%1 件の交信を %2 に書き出しました"},
};


constexpr bool everyTextInItsPlace() {
  if (std::size(kTexts) != static_cast<std::size_t>(Msg::Count)) return false;
  for (std::size_t i = 0; i < std::size(kTexts); ++i)
    if (kTexts[i].key != static_cast<Msg>(i) || kTexts[i].en.empty() || kTexts[i].ja.empty()) return false;
  return true;
}
static_assert(everyTextInItsPlace(), "kTexts must list every Msg once, in order, in both languages");

// The text of `key` in `language`, %1 and %2 replaced by `args`.
inline std::string say(Language language, Msg key, std::initializer_list<std::string_view> args = {}) {
  const Text& t = kTexts[static_cast<std::size_t>(key)];
  const std::string_view form = language == Language::Japanese ? t.ja : t.en;
  std::string text;
  for (std::size_t i = 0; i < form.size(); ++i) {
    const std::size_t n = i + 1 < form.size() ? static_cast<std::size_t>(form[i + 1] - '1') : args.size();
    if (form[i] == '%' && n < args.size()) {
      text += args.begin()[n];
      ++i;
    } else {
      text += form[i];
    }
  }
  return text;
}

}  // namespace neb::cli
