#!/usr/bin/env bash
# release_test.sh DIST_DIR OUT_DIR: the download as a user gets it. Checks the
# zip and the program in it against SHA256SUMS, its contents, every text in
# it (the readme, the guide, the history, the licence and the notices) and
# the program's version, manifest and imports; unpacks it into an empty folder,
# starts the program from there under Wine, chooses a client with the file
# dialog, registers a logon, closes, and finds the logon in Vostrelk.ini
# beside the exe. Leaves a screenshot in OUT_DIR.
set -u
dist=$(realpath "$1") out=$(realpath -m "$2")
source "$(dirname "$0")/e2e_lib.sh"

version=$(sed -n 's/^project(Vostrelk VERSION \([0-9.]*\).*/\1/p' "$VOSTRELK_ROOT/CMakeLists.txt")
zip=$dist/Vostrelk-$version-win64.zip
name=Vostrelk-$version
sums=$dist/SHA256SUMS
check "SHA256SUMS names the zip and the program in it" \
  [ "$(cut -d' ' -f3- "$sums" | tr '\n' ' ')" = "$name-win64.zip $name/Vostrelk.exe " ]
check "the zip of version $version matches SHA256SUMS" \
  bash -c "cd '$dist' && [ -f '$zip' ] && grep ' $name-win64.zip\$' SHA256SUMS | sha256sum --quiet -c"
check "BUILDINFO.txt names the toolchain" grep -q '^g++-mingw-w64-x86-64-posix ' "$dist/BUILDINFO.txt"
texts="readme.txt guide.txt history.txt LICENSE.txt THIRD-PARTY-NOTICES.txt"
members=$(unzip -Z1 "$zip" | tr '\n' ' ')
check "the zip holds one folder with the exe, the readme, the guide, the history, the licence and the notices" \
  [ "$members" = "$name/ $name/Vostrelk.exe $(for f in $texts; do printf '%s ' "$name/$f"; done)" ]
commit_day=$(date -u -d "@$(git -C "$VOSTRELK_ROOT" log -1 --format=%ct HEAD)" +%Y-%m-%d)
check "members are dated at the commit" bash -c "unzip -l '$zip' | grep -q ' $commit_day '"

unpacked=$out/release
rm -rf "$unpacked" && mkdir -p "$unpacked"
unzip -q "$zip" -d "$unpacked"
work=$unpacked/$name
check "the unpacked program matches SHA256SUMS" \
  bash -c "cd '$unpacked' && grep ' $name/Vostrelk.exe\$' '$sums' | sha256sum --quiet -c"
readme=$work/readme.txt guide=$work/guide.txt history=$work/history.txt

# Every text in the zip as Notepad opens it right: a byte-order mark, CRLF,
# lines of at most 72 columns (a character a Japanese font shows full-width,
# East Asian Wide, Full or Ambiguous, counting two), and each quote 「…」
# and section name 『…』 on one line, where Ctrl+F finds it.
narrow() {
  python3 -c 'import sys, unicodedata as u
w = lambda l: sum(2 if u.east_asian_width(c) in "WFA" else 1 for c in l)
sys.exit(any(w(l) > 72 for l in open(sys.argv[1], encoding="utf-8-sig").read().splitlines()))' "$1"
}
quotes_whole() {
  python3 -c 'import sys
def whole(line, open_, close):
    depth = 0
    for c in line:
        depth += (c == open_) - (c == close)
        if depth < 0: return False
    return depth == 0
sys.exit(not all(whole(l, "「", "」") and whole(l, "『", "』")
                 for l in open(sys.argv[1], encoding="utf-8-sig").read().splitlines()))' "$1"
}
for f in $texts; do
  check "$f starts with a byte-order mark" [ "$(head -c3 "$work/$f" | od -An -tx1 | tr -d ' ')" = efbbbf ]
  check "every line of $f ends in CRLF" [ "$(grep -c $'\r$' "$work/$f")" = "$(wc -l <"$work/$f")" ]
  check "the lines of $f are at most 72 columns" narrow "$work/$f"
  check "$f has no template marks left" bash -c "! grep -q '@[A-Z_]*@' '$work/$f'"
  check "$f quotes and names sections on one line" quotes_whole "$work/$f"
done
for f in readme.txt guide.txt history.txt; do
  check "$f names the version first" bash -c "head -n1 '$work/$f' | grep -q 'Vostrelk $version'"
done
check "the readme is read in five minutes (300 lines at most)" [ "$(wc -l <"$readme")" -le 300 ]
check "the history has a dated entry for $version" grep -qE "^$version（[0-9]{4} 年 [0-9]+ 月 [0-9]+ 日）" "$history"
# The readme ends with the latest entry of the history, word for word.
latest() {  # latest FILE: the first entry, from its dated line to the blank line
  tr -d '\r' <"$1" | sed -n "/^$version（/,/^\$/p" | sed '/^$/d'
}
same_latest() { [ -n "$(latest "$readme")" ] && [ "$(latest "$readme")" = "$(latest "$history")" ]; }
check "the readme's latest change is the history's entry for $version" same_latest
check "the readme points to the guide, the history and the notices" \
  bash -c "grep -q guide.txt '$readme' && grep -q history.txt '$readme' && grep -q THIRD-PARTY-NOTICES.txt '$readme'"
# Every section name a text cites in 『』 is a heading ("■ name" or
# "◆ name") of the readme or the guide, of the guide where it says
# "guide.txt の『…』"; each heading is one of a kind; and the readme cites
# every top section of the guide, so that all of it is reached from there.
sections() {
  python3 - "$work" <<'PY'
import os, re, sys
texts = {n: open(os.path.join(sys.argv[1], n), encoding="utf-8-sig").read().splitlines()
         for n in ("readme.txt", "guide.txt")}
heads = {n: [l[2:] for l in ls if l.startswith(("■ ", "◆ "))] for n, ls in texts.items()}
every = heads["readme.txt"] + heads["guide.txt"]
bad = [f"heading 『{h}』 twice" for h in sorted(set(every)) if every.count(h) > 1]
cited = set()
for n, lines in texts.items():
    for line in lines:
        for m in re.finditer(r"(?:(readme|guide)\.txt の)?『([^』]*)』", line):
            if m.group(2) in ("", "…"):  # the texts' own words on how they cite
                continue
            where = [m.group(1) + ".txt"] if m.group(1) else [n, *(o for o in texts if o != n)]
            found = [w for w in where if m.group(2) in heads[w]]
            if not found:
                bad.append(f"{n} cites 『{m.group(2)}』, no heading of {' or '.join(where)}")
            elif n == "readme.txt" and found[0] == "guide.txt":
                cited.add(m.group(2))
bad += [f"the readme cites no 『{h}』 of the guide"
        for h in (l[2:] for l in texts["guide.txt"] if l.startswith("■ ")) if h not in cited]
if bad: print("\n".join(bad), file=sys.stderr)
sys.exit(bool(bad))
PY
}
check "every section the readme and the guide cite is a heading, and the readme reaches each of the guide's" sections
# The messages the readme and the guide quote, each line of a box as the box
# shows it ("…" where the program puts a path or a value, a long line by
# its sentences or a part), beside the words of the source that make it: a
# message reworded in one and not the other fails here. The error box adds
# the period that ends some of them (errorBoxText).
quoted() {  # quoted QUOTE FILE WORDS: a text quotes QUOTE on one line, FILE holds WORDS
  grep -qF -- "「$1」" "$readme" "$guide" && grep -qF -- "$3" "$VOSTRELK_ROOT/$2"
}
while IFS='|' read -r quote file words; do
  [ -n "$quote" ] || continue
  check "the texts quote 「$quote」 as $file words it" quoted "$quote" "$file" "$words"
done <<'MESSAGES'
設定の保存に失敗しました。|ui/Messages.cpp|{L"設定の保存に失敗しました。",
設定の保存に失敗しました。保存せずに終了しますか？|ui/Messages.cpp|L"設定の保存に失敗しました。保存せずに終了しますか？"}
設定ファイルを読み込めなかったため、変更は保存しませんでした。|ui/Messages.cpp|L"設定ファイルを読み込めなかったため、変更は保存しませんでした。",
設定ファイルを読み込めなかったため、変更を保存できません。|ui/Messages.cpp|L"設定ファイルを読み込めなかったため、変更を保存できません。保存せずに終了しますか？"}
保存せずに終了しますか？|ui/Messages.cpp|保存せずに終了しますか？"}
前回の設定の保存が途中で終わっていました。|ui/Messages.cpp|L"前回の設定の保存が途中で終わっていました。\n"
最後に保存した内容に戻しました。|ui/Messages.cpp|L"最後に保存した内容に戻しました。\n"
操作は必要ありません。|ui/Messages.cpp|L"操作は必要ありません。\n"
戻したファイル: …|ui/Messages.cpp|L"戻したファイル: " +
元に戻せるファイルはありませんでした。|ui/Messages.cpp|L"元に戻せるファイルはありませんでした。\n"
途中までしか書かれていないファイルがありました。|ui/Messages.cpp|L"\n途中までしか書かれていないファイルがありました。\n"
削除せずに、次の名前で残してあります。|ui/Messages.cpp|L"削除せずに、次の名前で残してあります。\n"
必要なログオンがないか確かめてください。|ui/Messages.cpp|L"必要なログオンがないか確かめてください。\n"
Windows の終了までに設定の保存が終わりませんでした。|ui/Messages.cpp|L"Windows の終了までに設定の保存が終わりませんでした。\n"
最後の変更は保存されていないかもしれません。|ui/Messages.cpp|L"最後の変更は保存されていないかもしれません。"
別の Vostrelk が保存中です（…）。|ui/Messages.cpp|L"別の Vostrelk が保存中です（%s）。"
ロック ファイル … を作成できません。|ui/Messages.cpp|L"ロック ファイル %s を作成できません。"
設定ファイル … を読み込めません。|ui/Messages.cpp|L"設定ファイル %s を読み込めません。"
設定ファイル … が書き換えられていて、COUNT の値を読めません。|ui/Messages.cpp|L"設定ファイル %s が書き換えられていて、COUNT の値を読めません。"
作業用のファイル … を作成できません。|ui/Messages.cpp|L"作業用のファイル %s を作成できません。"
Windows の終了までに設定を保存できませんでした。|ui/Messages.cpp|L"Windows の終了までに設定を保存できませんでした。\n"
変更は設定ファイルの横に残し、次の起動で戻します。|ui/Messages.cpp|L"変更は設定ファイルの横に残し、次の起動で戻します。\n"
前回 Windows の終了（サインアウトなど）のときに|ui/Messages.cpp|L"前回 Windows の終了（サインアウトなど）のときに\n"
保存できなかった変更を、設定ファイルに戻しました。|ui/Messages.cpp|L"保存できなかった変更を、設定ファイルに戻しました。\n"
設定ファイル … に保存しましたが、|ui/Messages.cpp|L"設定ファイル %s に保存しましたが、"
ディスクに書き込まれたことを Windows が確認できませんでした。|ui/Messages.cpp|L"\nディスクに書き込まれたことを Windows が確認できませんでした。"
設定ファイルがなく、その代わりになるはずのファイルが|ui/Messages.cpp|L"設定ファイルがなく、その代わりになるはずのファイルが\n"
リンクかフォルダーのため、使いませんでした。|ui/Messages.cpp|L"リンクかフォルダーのため、使いませんでした。\n"
設定ファイル … はリンクです。|ui/Messages.cpp|L"設定ファイル %s はリンクです。"
設定ファイル … の書き込みが時間内に終わりませんでした。|ui/Messages.cpp|L"設定ファイル %s の書き込みが時間内に終わりませんでした。"
作業用のファイル … に書き込めません。|ui/Messages.cpp|L"作業用のファイル %s に書き込めません。"
… を新しい内容に置き換えられません。|ui/Messages.cpp|L"%s を新しい内容に置き換えられません。"
…を設定ファイルに書いて読み直すと、別の文字になって戻ってきます。|ui/Messages.cpp|L"を設定ファイルに書いて読み直すと、別の文字になって戻ってきます。\n"
…を設定ファイルに書いて読み直すと、|ui/Messages.cpp|L"を設定ファイルに書いて読み直すと、
この値は保存できません。入力し直してください。|ui/Messages.cpp|L"この値は保存できません。入力し直してください。"
改行などの保存できない文字を含む値があります。|ui/Messages.cpp|L"改行などの保存できない文字を含む値があります。"
メモリが足りません|ui/Messages.cpp|kOutOfMemory[] = L"メモリが足りません";
メモリが足りません.|ui/Messages.cpp|kOutOfMemory[] = L"メモリが足りません";
'…' は整数ではありません.|ui/Messages.cpp|L"'%s' は整数ではありません"
整数ではありません|ui/Messages.cpp|は整数ではありません"
範囲チェックエラー.|ui/Messages.cpp|L"範囲チェックエラー"
範囲チェックエラー|ui/Messages.cpp|L"範囲チェックエラー"
設定ファイル … を読み込めませんでした。|ui/Messages.cpp|L"設定ファイル %s を読み込めませんでした。"
読み込めませんでした。|ui/Messages.cpp|を読み込めませんでした。"
読んでいる間に、ほかのプログラムが|ui/Messages.cpp|\n読んでいる間に、ほかのプログラムが\n
ファイルを書き換えたか、使っていました.|ui/Messages.cpp|\nファイルを書き換えたか、使っていました"
前回の設定の保存が途中で終わっていましたが、|ui/Messages.cpp|L"前回の設定の保存が途中で終わっていましたが、\n"
途中で終わっていましたが、|ui/Messages.cpp|途中で終わっていましたが、\n"
別の Vostrelk が保存中のため元に戻せませんでした。|ui/Messages.cpp|L"別の Vostrelk が保存中のため元に戻せませんでした。"
元に戻せませんでした。|ui/Messages.cpp|L"元に戻せませんでした。" +
残っているファイル: …|ui/Messages.cpp|L"\n残っているファイル: "
この起動では一覧を読み込まず、何も保存しません。|ui/Messages.cpp|L"\nこの起動では一覧を読み込まず、何も保存しません。\n"
しばらくしてから起動し直してください.|ui/Messages.cpp|L"しばらくしてから起動し直してください";
変更をまだ設定ファイルに保存できていません。|ui/Messages.cpp|L"変更をまだ設定ファイルに保存できていません。\n"
保存できるまで、自動で試し続けます。|ui/Messages.cpp|L"保存できるまで、自動で試し続けます。\n"
設定ファイル … は読み取り専用です。|ui/Messages.cpp|L"設定ファイル %s は読み取り専用です。"
途中で終わった保存のファイル … を元に戻せません。|ui/Messages.cpp|L"途中で終わった保存のファイル %s を元に戻せません。"
… を元に戻せません。|ui/Messages.cpp|L"途中で終わった保存のファイル %s を元に戻せません。"
(エラー 5)|ui/Messages.cpp|L"(エラー " + (error > 0xFFFF
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
読み込んでいます...|ui/Messages.cpp|L"読み込んでいます...";
保存しています...|ui/Messages.cpp|L"保存しています...";
Oracle SQL*Plus|ui/Unit1Layout.cpp|L" Oracle SQL*Plus "
ユーザＩＤ|ui/Unit1Layout.cpp|L"STATIC", L"ユーザＩＤ",
パスワード|ui/Unit1Layout.cpp|L"STATIC", L"パスワード",
ホスト文字列|ui/Unit1Layout.cpp|L"STATIC", L"ホスト文字列",
接続先リスト|ui/Unit1Layout.cpp|L" 接続先リスト ",
参照...|ui/Unit1Layout.cpp|L"参照...",
登録|ui/Unit1Layout.cpp|L"登録(&A)",
起動|ui/Unit1Layout.cpp|L"起動(&E)",
削除|ui/Unit1Layout.cpp|L"削除(&D)",
ｼｮｰﾄｶｯﾄ作成|ui/Unit1Layout.cpp|L"ｼｮｰﾄｶｯﾄ作成(&S)",
設定ファイルはすでにその内容でした。|ui/Messages.cpp|L"設定ファイルはすでにその内容でした。\n"
SQL*Plus のパスを変更|ui/Messages.cpp|L"\nSQL*Plus のパスを変更"
残しておいた変更のファイルが、途中までしか書かれていませんでした。|ui/Messages.cpp|L"残しておいた変更のファイルが、途中までしか書かれていませんでした。\n"
戻さずに、次の名前で残してあります。|ui/Messages.cpp|L"戻さずに、次の名前で残してあります。\n"
念のため、しばらくしてから一覧を確かめてください。|ui/Messages.cpp|L"\n念のため、しばらくしてから一覧を確かめてください。"
見つかったもの: …|ui/Messages.cpp|L"見つかったもの: " +
中身を確かめて、ふつうのファイルとして置き直してください.|ui/Messages.cpp|L"中身を確かめて、ふつうのファイルとして置き直してください"
リンク先のファイルを消したり分けたりしないよう、置き換えません。|ui/Messages.cpp|L"\nリンク先のファイルを消したり分けたりしないよう、置き換えません。\n"
リンクをやめて、ふつうのファイルとして置いてください。|ui/Messages.cpp|L"リンクをやめて、ふつうのファイルとして置いてください。"
SQL*Plus のパス|ui/Messages.cpp|return L"SQL*Plus のパス";
ショートカットを次のフォルダーに作成します。|ui/Messages.cpp|L"ショートカットを次のフォルダーに作成します。\n"
このフォルダーはクラウドと同期されています。|ui/Messages.cpp|L"このフォルダーはクラウドと同期されています。\n"
このフォルダーはネットワーク上のサーバーにあります。|ui/Messages.cpp|L"このフォルダーはネットワーク上のサーバーにあります。\n"
作成しますか？|ui/Messages.cpp|L"作成しますか？"
登録(A)|ui/Unit1Layout.cpp|L"登録(&A)",
MESSAGES
check "the error box ends a message with a period where it has none" \
  grep -qF "message += L'.';" "$VOSTRELK_ROOT/ui/Application.cpp"
check "the guide names the save's working, whole and backup copies" \
  bash -c "grep -q 'Vostrelk.ini.vksave-番号.tmp' '$guide' && grep -q 'Vostrelk.ini.vksave-番号.new' '$guide' &&
    grep -q 'Vostrelk.ini.vksave-番号.bak' '$guide'"
check "the licence is the MIT License of the project" bash -c "head -n1 '$work/LICENSE.txt' | grep -q '^.MIT License' &&
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
# (The address stands after the path, on its line or, wrapped, on the next.)
addressed() {
  python3 -c 'import sys
lines = open(sys.argv[1], encoding="utf-8-sig").read().splitlines() + [""]
sys.exit(any("common-licenses/" in l and "https://" not in l + lines[i + 1]
             for i, l in enumerate(lines[:-1])))' "$1"
}
check "each licence under /usr/share/common-licenses has its public address" \
  addressed "$work/THIRD-PARTY-NOTICES.txt"

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
