#!/usr/bin/env bash
# release_test.sh DIST_DIR OUT_DIR: the download as a user gets it. Checks the
# zip against SHA256SUMS and its contents, unpacks it into an empty folder,
# starts the program from there under Wine, chooses a client with the file
# dialog, registers a logon, closes, and finds the logon in Vostrelk.ini
# beside the exe. Leaves a screenshot in OUT_DIR.
set -u
dist=$(realpath "$1") out=$(realpath -m "$2")
source "$(dirname "$0")/e2e_lib.sh"

zip=$(ls "$dist"/Vostrelk-*-win64.zip)
name=$(basename "$zip" -win64.zip)
check "the zip matches SHA256SUMS" bash -c "cd '$dist' && sha256sum --quiet -c SHA256SUMS"
members=$(unzip -Z1 "$zip" | tr '\n' ' ')
check "the zip holds one folder with the exe and the readme" \
  [ "$members" = "$name/ $name/Vostrelk.exe $name/readme.txt " ]

unpacked=$out/release
rm -rf "$unpacked" && mkdir -p "$unpacked"
unzip -q "$zip" -d "$unpacked"
work=$unpacked/$name
readme=$work/readme.txt
check "the readme starts with a byte-order mark" [ "$(head -c3 "$readme" | od -An -tx1 | tr -d ' ')" = efbbbf ]
check "every line of the readme ends in CRLF" [ "$(grep -c $'\r$' "$readme")" = "$(wc -l <"$readme")" ]
check "the readme names the version" grep -q "^.*${name#Vostrelk-}" "$readme"

open_program "the unpacked program starts"
click_at 334 24  # 参照...: the file dialog opens with the focus in its name box
sleep 2
dialog=$(xdotool search --onlyvisible --name '^開く$' 2>/dev/null | head -n1)
check "the file dialog opens" [ -n "$dialog" ]
[ -n "$dialog" ] && xdotool mousemove --window "$dialog" 20 20  # keys go where the pointer is
xdotool type --delay 40 'C:\windows\notepad.exe'
key Return
sleep 1
click_at 300 70  # the user box, then the password and the host with Tab
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
