#!/bin/sh
# check-guide.sh GUIDE.txt GUIDE.html GUIDE.md
# The Notepad guide: UTF-8 with a byte order mark, CR LF, no Markdown marks,
# no line wider than 72 columns (a full-width character is two). The HTML
# guide: every text the programs show, the sections other texts name, and
# every picture it names inside it.
set -u
txt=$1 html=$2 md=$3
status=0
for f in "$txt" "$html"; do
  [ -f "$f" ] || { echo "FAIL: $f is missing (is pandoc installed?)"; exit 1; }
done

perl -e '
  local $/; open my $f, "<:raw", $ARGV[0] or die; my $t = <$f>;
  my $bad = 0;
  sub fail { print "FAIL: $ARGV[0]:$_[0]: $_[1]\n"; $bad = 1 }
  fail(1, "no UTF-8 byte order mark") unless $t =~ s/^\xEF\xBB\xBF//;
  fail(0, "a line does not end in CR LF") if $t =~ /(?<!\r)\n/ || $t =~ /\r(?!\n)/ || $t !~ /\r\n\z/;
  my $n = 0;
  for my $line (split /\r?\n/, $t) {
    $n++;
    # Columns: a 3-byte UTF-8 character is full width, except half-width kana.
    my $half = () = $line =~ /\xEF\xBD[\xA1-\xBF]|\xEF\xBE[\x80-\x9F]/g;
    my $width = length($line) - ($line =~ tr/\xC0-\xDF//) - ($line =~ tr/\xE0-\xEF//) - $half
                - 2 * ($line =~ tr/\xF0-\xF7//);
    fail($n, "$width columns") if $width > 72;
    fail($n, "Markdown mark: $1") if $line =~ /(^\s*#{1,6}\s|\*\*|__|`|\||!\[|\]\(|^\s*\[.*\]\s*$|^\s*[-=]{3,}\s*$|^\s*>)/;
  }
  exit $bad;
' "$txt" || status=1

# The text inside the page, its tags gone and its entities read.
page=$(perl -0777 -pe 's/<[^>]*>//g; s/&lt;/</g; s/&gt;/>/g; s/&quot;/"/g; s/&amp;/&/g' "$html")
while IFS= read -r text; do
  case $page in
    *"$text"*) ;;
    *) printf "FAIL: %s: no \"%s\"\n" "$html" "$text"; status=1 ;;
  esac
done <<'TEXTS'
環境変数がない為実行できません
環境ﾌｧｲﾙが見当たりません
HAMLOG ファイルが見つかりません探しますか？
ファイル名に Shift_JIS で表せない文字があるため使えません。別のファイルを選んでください。
\nebmenu.exe を起動できません: （理由）
DBS  が　見つかりません
DBR  が　見つかりません
の交信周波数は 無効です
の交信周波数が変です
MHz と判断しました
HAMLOG のレコードファイルが途中で終わっています。
ヘッダーの件数 
 件のうち 
 件を書き出しました
を読み込みできません: 
HAMLOG のヘッダーより短いファイルです
読み取り専用のファイルです
ほかの抽出処理が使用中です
メモリが足りません
予期しないエラーが発生しました
ファイルを選択する画面を開けません (エラー 
NEB01 を開始できません
ﾌｧｲﾙ名未設定
ファイルコピー中
HamLog ﾌｧｲﾙを定義します
Hamlog ﾌｧｲﾙ設定
MENU で環境設定
/JA1 =>  /1  変換
モード 形式変換
国内移動局が が /JA1 形式の時の時にチェックします
Mode が FM SSB 形式で無い時チェックします
件の交信を 
 に書き出しました
HAMLOG ファイルが定義されていません（パスの付いた #01 の行がありません）
Shift_JIS で表せない文字があるため、HAMLOG の場所として使えません
を上書きしてしまうため、書き出しません
中断しました。作業ファイルは元のままです
メモリーが足りません。作業ファイルは元のままです
-m にはモード変換表 
 が必要ですが、見つかりません
コントロールされたフォルダー アクセスか、Program Files の下のフォルダーが原因かもしれません。ガイドの「書き込みが拒否されるとき」をご覧ください。
 は新しい内容に置き換えましたが、ディスクへの書き込みを確認できません: 
ファイルの内容は 
 に残っています
TEXTS

# The sections that messages, the change note and other sections name.
for title in 書き込みが拒否されるとき 'スマート アプリ コントロールに止められたとき' ウイルス対策ソフトに消されたとき \
    'PowerShell で使うとき' '見本から Mode.txt を作るとき' 'ダウンロードしたファイルの確かめ方（SHA-256）'; do
  grep -q ">$title</h[23]>" "$html" || { echo "FAIL: $html: no section \"$title\""; status=1; }
done

# Every picture the guide names is in the page as data, not as a link to a
# file beside it.
for image in main-window.png main-window-running.png; do
  grep -q "]($image)" "$md" || { echo "FAIL: $md: does not show $image"; status=1; }
done
n=$(grep -o '<img ' "$html" | wc -l)
[ "$n" -eq "$(grep -o '<img src="data:image/png;base64,' "$html" | wc -l)" ] && [ "$n" -eq "$(grep -o '!\[[^]]*\]([^)]*)' "$md" | wc -l)" ] ||
  { echo "FAIL: $html: not every picture of $md is in it as data ($n img)"; status=1; }
grep -q '<html[^>]* lang="ja"' "$html" || { echo "FAIL: $html: not lang=ja"; status=1; }
grep -q '<title>..*</title>' "$html" || { echo "FAIL: $html: no title"; status=1; }
[ $status -eq 0 ] && echo "guide: both forms pass"
exit $status
