#!/usr/bin/env bash
# release_test.sh DIST_DIR OUT_DIR: the download as a user gets it. Checks the
# zip against SHA256SUMS, its contents, the readme, the notices and the
# program's version, manifest and imports; unpacks it into an empty folder,
# starts the program from there under Wine, chooses a client with the file
# dialog, registers a logon, closes, and finds the logon in Vostrelk.ini
# beside the exe. Leaves a screenshot in OUT_DIR.
set -u
dist=$(realpath "$1") out=$(realpath -m "$2")
source "$(dirname "$0")/e2e_lib.sh"

version=$(sed -n 's/^project(Vostrelk VERSION \([0-9.]*\).*/\1/p' "$VOSTRELK_ROOT/CMakeLists.txt")
zip=$dist/Vostrelk-$version-win64.zip
name=Vostrelk-$version
check "the zip of version $version matches SHA256SUMS" \
  bash -c "cd '$dist' && [ -f '$zip' ] && sha256sum --quiet -c SHA256SUMS"
check "BUILDINFO.txt names the toolchain" grep -q '^g++-mingw-w64-x86-64-posix ' "$dist/BUILDINFO.txt"
members=$(unzip -Z1 "$zip" | tr '\n' ' ')
check "the zip holds one folder with the exe, the readme, the licence and the notices" \
  [ "$members" = "$name/ $name/Vostrelk.exe $name/readme.txt $name/LICENSE.txt $name/THIRD-PARTY-NOTICES.txt " ]
commit_day=$(date -u -d "@$(git -C "$VOSTRELK_ROOT" log -1 --format=%ct HEAD)" +%Y-%m-%d)
check "members are dated at the commit" bash -c "unzip -l '$zip' | grep -q ' $commit_day '"

unpacked=$out/release
rm -rf "$unpacked" && mkdir -p "$unpacked"
unzip -q "$zip" -d "$unpacked"
work=$unpacked/$name
readme=$work/readme.txt
check "the readme starts with a byte-order mark" [ "$(head -c3 "$readme" | od -An -tx1 | tr -d ' ')" = efbbbf ]
check "every line of the readme ends in CRLF" [ "$(grep -c $'\r$' "$readme")" = "$(wc -l <"$readme")" ]
check "the readme names the version first" bash -c "head -n1 '$readme' | grep -q 'Vostrelk $version'"
check "the readme has no template marks left" bash -c "! grep -q '@[A-Z_]*@' '$readme'"
check "the readme has a dated entry for $version" grep -qE "^$version（[0-9]{4} 年 [0-9]+ 月 [0-9]+ 日）" "$readme"
narrow() {  # every line at most 72 columns, a full-width character counting two
  python3 -c 'import sys, unicodedata as u
w = lambda l: sum(2 if u.east_asian_width(c) in "WF" else 1 for c in l)
sys.exit(any(w(l) > 72 for l in open(sys.argv[1], encoding="utf-8-sig").read().splitlines()))' "$1"
}
check "the readme's lines are at most 72 columns" narrow "$readme"
check "the readme points to the notices" grep -q THIRD-PARTY-NOTICES.txt "$readme"
# The messages the readme quotes, each line of a box as the box shows it
# ("…" where the program puts a path or a value), beside the words of the
# source that make it: a message reworded in one and not the other fails
# here. A quote the readme wraps at its width is read joined. The error
# box adds the period that ends some of them (errorBoxText).
joined=$(sed 's/^ *//' "$readme" | tr -d '\r\n')
quoted() {  # quoted QUOTE FILE WORDS: the readme quotes QUOTE, FILE holds WORDS
  grep -qF -- "「$1」" <<<"$joined" && grep -qF -- "$3" "$VOSTRELK_ROOT/$2"
}
while IFS='|' read -r quote file words; do
  [ -n "$quote" ] || continue
  check "the readme quotes 「$quote」 as $file words it" quoted "$quote" "$file" "$words"
done <<'MESSAGES'
設定の保存に失敗しました。|ui/Messages.cpp|{L"設定の保存に失敗しました。",
設定の保存に失敗しました。保存せずに終了しますか？|ui/Messages.cpp|L"設定の保存に失敗しました。保存せずに終了しますか？"}
設定ファイルを読み込めなかったため、変更は保存しませんでした。|ui/Messages.cpp|L"設定ファイルを読み込めなかったため、変更は保存しませんでした。",
設定ファイルを読み込めなかったため、変更を保存できません。保存せずに終了しますか？|ui/Messages.cpp|L"設定ファイルを読み込めなかったため、変更を保存できません。保存せずに終了しますか？"}
前回の設定の保存が途中で終わっていました。|ui/Messages.cpp|L"前回の設定の保存が途中で終わっていました。\n"
最後に保存した内容に戻しました。|ui/Messages.cpp|L"最後に保存した内容に戻しました。\n"
操作は必要ありません。|ui/Messages.cpp|L"操作は必要ありません。\n"
戻したファイル: …|ui/Messages.cpp|L"戻したファイル: " +
別の Vostrelk が保存中です（…）。|ui/Messages.cpp|L"別の Vostrelk が保存中です（%s）。"
ロック ファイル … を作成できません。|ui/Messages.cpp|L"ロック ファイル %s を作成できません。"
設定ファイル … を読み込めません。|ui/Messages.cpp|L"設定ファイル %s を読み込めません。"
設定ファイル … が書き換えられていて、COUNT の値を読めません。|ui/Messages.cpp|L"設定ファイル %s が書き換えられていて、COUNT の値を読めません。"
作業用のファイル … を作成できません。|ui/Messages.cpp|L"作業用のファイル %s を作成できません。"
作業用のファイル … に書き込めません。|ui/Messages.cpp|L"作業用のファイル %s に書き込めません。"
… を新しい内容に置き換えられません。|ui/Messages.cpp|L"%s を新しい内容に置き換えられません。"
改行などの保存できない文字を含む値があります。|ui/Messages.cpp|L"改行などの保存できない文字を含む値があります。"
メモリが足りません|ui/Messages.cpp|kOutOfMemory[] = L"メモリが足りません";
メモリが足りません.|ui/Messages.cpp|kOutOfMemory[] = L"メモリが足りません";
'…' は整数ではありません.|ui/Messages.cpp|L"'%s' は整数ではありません"
範囲チェックエラー.|ui/Messages.cpp|L"範囲チェックエラー"
設定ファイル … を読み込めませんでした。|ui/Messages.cpp|L"設定ファイル %s を読み込めませんでした。"
読んでいる間に、ほかのプログラムが|ui/Messages.cpp|\n読んでいる間に、ほかのプログラムが\n
ファイルを書き換えたか、使っていました.|ui/Messages.cpp|\nファイルを書き換えたか、使っていました"
起動に失敗しました。|ui/Messages.cpp|L"起動に失敗しました。\n"
SQL*Plus のパスが設定されていません。「参照...」で選んでください。|ui/Messages.cpp|L"SQL*Plus のパスが設定されていません。「参照...」で選んでください。"
SQL*Plus のパスに使えない文字があります。|ui/Messages.cpp|L"SQL*Plus のパスに使えない文字があります。"
SQL*Plus のパスに .bat や .cmd は使えません。|ui/Messages.cpp|L"SQL*Plus のパスに .bat や .cmd は使えません。\n"
「参照...」で sqlplus.exe を選んでください。|ui/Messages.cpp|L"「参照...」で sqlplus.exe を選んでください。"
SQL*Plus のパスを完全なパスにしてください。|ui/Messages.cpp|L"SQL*Plus のパスを完全なパスにしてください。\n"
（C:\ や \\サーバー名\ から始まるパス）|ui/Messages.cpp|L"（C:\\ や \\\\サーバー名\\ から始まるパス）\n"
「参照...」で選び直せます。|ui/Messages.cpp|L"「参照...」で選び直せます。"
… が PATH のフォルダーにありません。|ui/Messages.cpp|L"%s が PATH のフォルダーにありません。\n
「参照...」で sqlplus.exe を選んでください。|ui/Messages.cpp|\n「参照...」で sqlplus.exe を選んでください。"
ユーザＩＤに使えない文字があります。|ui/Messages.cpp|label + L"に使えない文字があります。"
ユーザＩＤに使えない文字があります。|ui/Unit1Layout.cpp|L"STATIC", L"ユーザＩＤ",
パスワードに使えない文字があります。|ui/Unit1Layout.cpp|L"STATIC", L"パスワード",
ホスト文字列に使えない文字があります。|ui/Unit1Layout.cpp|L"STATIC", L"ホスト文字列",
このパスは現在のコード ページで表せません: …|ui/Messages.cpp|L"このパスは現在のコード ページで表せません: %s"
ファイルを選ぶダイアログを開けませんでした。(エラー …)|ui/Messages.cpp|L"ファイルを選ぶダイアログを開けませんでした。(エラー " + hex(
デスクトップに作成しました。|ui/Messages.cpp|L"デスクトップに作成しました。"
ショートカット作成に失敗しました。|ui/Messages.cpp|L"ショートカット作成に失敗しました。\n"
予期しないエラーが発生しました。|ui/Messages.cpp|L"予期しないエラーが発生しました。\n"
変更をまだ設定ファイルに保存できていません。|ui/Messages.cpp|L"変更をまだ設定ファイルに保存できていません。\n"
保存できるまで、自動で試し続けます。|ui/Messages.cpp|L"保存できるまで、自動で試し続けます。\n"
設定ファイル … は読み取り専用です。|ui/Messages.cpp|L"設定ファイル %s は読み取り専用です。"
途中で終わった保存のファイル … を元に戻せません。|ui/Messages.cpp|L"途中で終わった保存のファイル %s を元に戻せません。"
前回の設定の保存が途中で終わっていましたが、|ui/Messages.cpp|L"前回の設定の保存が途中で終わっていましたが、\n"
別の Vostrelk が保存中のため元に戻せませんでした。|ui/Messages.cpp|L"別の Vostrelk が保存中のため元に戻せませんでした。"
残っているファイル: …|ui/Messages.cpp|L"\n残っているファイル: "
この起動では一覧を読み込まず、何も保存しません。|ui/Messages.cpp|L"\nこの起動では一覧を読み込まず、何も保存しません。\n"
しばらくしてから起動し直してください.|ui/Messages.cpp|L"しばらくしてから起動し直してください";
読み込んでいます...|ui/Messages.cpp|L"読み込んでいます...";
Oracle SQL*Plus|ui/Unit1Layout.cpp|L" Oracle SQL*Plus "
ユーザＩＤ|ui/Unit1Layout.cpp|L"STATIC", L"ユーザＩＤ",
MESSAGES
check "the error box ends a message with a period where it has none" \
  grep -qF "message += L'.';" "$VOSTRELK_ROOT/ui/Application.cpp"
check "the readme names the save's working, whole and backup copies" \
  bash -c "grep -q 'Vostrelk.ini.vksave-番号.tmp' '$readme' && grep -q 'Vostrelk.ini.vksave-番号.new' '$readme' &&
    grep -q 'Vostrelk.ini.vksave-番号.bak' '$readme'"
check "the licence is the MIT License of the project" bash -c "head -n1 '$work/LICENSE.txt' | grep -q '^MIT License' &&
  grep -q 'Copyright (c) 2026 Vostrelk developers' '$work/LICENSE.txt' &&
  grep -q 'Permission is hereby granted, free of charge' '$work/LICENSE.txt'"
check "the readme grants the MIT License and points to LICENSE.txt" \
  bash -c "grep -q 'MIT ライセンス' '$readme' && grep -q LICENSE.txt '$readme'"
check "the notices name the GCC Runtime Library Exception" \
  grep -q 'GCC Runtime Library Exception' "$work/THIRD-PARTY-NOTICES.txt"
check "the notices hold winpthreads' licence" grep -q 'winpthreads' "$work/THIRD-PARTY-NOTICES.txt"
check "the notices hold libstdc++'s Hewlett-Packard and Silicon Graphics notices" \
  bash -c "grep -q '^Hewlett-Packard Company' '$work/THIRD-PARTY-NOTICES.txt' &&
           grep -q '^Silicon Graphics Computer Systems' '$work/THIRD-PARTY-NOTICES.txt'"
check "each licence under /usr/share/common-licenses has its public address" \
  bash -c "! grep 'common-licenses/' '$work/THIRD-PARTY-NOTICES.txt' | grep -v 'https://'"

exe=$work/Vostrelk.exe
fixed_version() {  # FILEVERSION from the version resource's fixed part, as a.b.c.d
  python3 -c 'import struct, sys
data = open(sys.argv[1], "rb").read()
at = data.find(struct.pack("<I", 0xFEEF04BD))
ms, ls = struct.unpack_from("<II", data, at + 8)
print(f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}")' "$1"
}
check "the version resource says $version" [ "$(fixed_version "$exe")" = "$version.0" ]
check "the manifest asks for per-monitor DPI v2" grep -qa '>PerMonitorV2<' "$exe"
check "the manifest asks for the user's own rights" grep -qa 'level="asInvoker"' "$exe"
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
system_only() {
  for d in $imports; do
    case $d in kernel32.dll | user32.dll | gdi32.dll | shell32.dll | ole32.dll | advapi32.dll | \
      comctl32.dll | msvcrt.dll | api-ms-win-*) ;;
    *) return 1 ;;
    esac
  done
}
check "the program imports system DLLs only ($imports)" system_only

open_program "the unpacked program starts"
click_control BTNFILEOPEN  # 参照...: the file dialog opens with the focus in its name box
sleep 2
dialog=$(xdotool search --onlyvisible --name '^開く$' 2>/dev/null | head -n1)
check "the file dialog opens" [ -n "$dialog" ]
[ -n "$dialog" ] && xdotool mousemove --window "$dialog" 20 20  # keys go where the pointer is
xdotool type --delay 40 'C:\windows\notepad.exe'
key Return
sleep 1
click_control EDTUSER  # then the password and the host with Tab
xdotool type --delay 60 scott
key Tab
xdotool type --delay 60 tiger
key Tab
xdotool type --delay 60 orcl
key alt+a
import -window root "$out/release.png"
key alt+F4
check "closing ends the program" wait_for 20 process_ended "$pid"
check "Vostrelk.ini is made beside the exe" test -f "$work/Vostrelk.ini"
check "it holds the client chosen" file_has 'Path=C:\windows\notepad.exe'
check "it holds the logon registered" file_has "User=scott"
check "with its password and host" bash -c "grep -q '^Pass=tiger' '$work/Vostrelk.ini' && grep -q '^Host=orcl' '$work/Vostrelk.ini'"

echo "release: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
