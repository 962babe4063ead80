#!/usr/bin/env bash
# two_copies_test.sh VOSTRELK_EXE TWO_COPIES_EXE OUT_DIR: two PCs on one
# shared folder, as two Wine prefixes each with its own server (they share the
# files and nothing else, as two PCs do). First two copies of the store save
# the one file round after round; then two copies of the program close
# together while one of them rewrites every slot. Nothing either copy did may
# be lost or come back.
set -u
exe=$1 copies_exe=$2 out=$(realpath -m "$3")
source "$(dirname "$0")/e2e_lib.sh"

prefix1=$WINEPREFIX prefix2=$WINEPREFIX-2
( vk_wine_session "$prefix2" )
trap '( vk_wine_env "$prefix2"; VK_XVFB_PID= vk_wine_session_end )' EXIT
in_prefix() { ( vk_wine_env "$1" && cd "$work" && "${@:2}" ); }  # in_prefix PREFIX COMMAND...

work=$out/two-copies
rm -rf "$work" && mkdir -p "$work"
cp "$exe" "$work/Vostrelk.exe"
cp "$copies_exe" "$work/two_copies.exe"
settings() {  # settings N: a file with N logons of neither copy
  printf '[SQL*Plus]\r\nPath=C:\\x.exe\r\n[List]\r\nCOUNT=%d\r\n' $(($1 - 1))
  for i in $(seq 0 $(($1 - 1))); do printf '[%d]\r\nUser=user%d\r\nPass=pass%d\r\nHost=host%d\r\n' "$i" "$i" "$i" "$i"; done
}
users() { tr -d '\r' <"$work/Vostrelk.ini" | grep -c '^User=user'; }

# --- two copies of the store, round after round -------------------------------
settings 150 >"$work/Vostrelk.ini"
ini=$(winpath "$work/Vostrelk.ini")
rounds() { in_prefix "$1" "$WINE_LOADER" two_copies.exe "$ini" "$2" 25 "$3" >"$work/$2.txt" 2>&1 </dev/null; }
rounds "$prefix1" A 1 & a=$!
rounds "$prefix2" B 2 & b=$!
wait "$a"; ra=$?
wait "$b"; rb=$?
cat "$work/A.txt" "$work/B.txt" | grep -E 'round|rounds'
check "copy A's logons are always as it left them" [ "$ra" -eq 0 ]
check "copy B's logons are always as it left them" [ "$rb" -eq 0 ]
check "the logons of neither copy are all there" [ "$(users)" -eq 150 ]
no_leftovers() { ! ls "$work"/Vostrelk.ini.*new "$work"/Vostrelk.ini.*tmp "$work"/Vostrelk.ini.*bak "$work"/Vostrelk.ini.lock* >/dev/null 2>&1; }
check "no copy and no lock file left beside the file" no_leftovers

# --- a save waits for the lock while the other PC's save is cut off ------------
# Copy C (first PC) saves four logons of its own, then a fifth, and is ended
# between the replace's two renames; copy W (second PC) saves meanwhile as a
# close does, waiting for the lock, until C is gone, then once more. A start
# then must list every logon C saved and every one of the file's.
race() {
  rm -f "$work"/Vostrelk.ini* "$work"/done*
  settings 150 >"$work/Vostrelk.ini"
  in_prefix "$prefix2" "$WINE_LOADER" two_copies.exe --close-save "$ini" "$(winpath "$work/done")" \
    >"$work/W.txt" 2>&1 </dev/null &
  local w=$!
  wait_for 60 test -e "$work/done.ready" || { echo "W did not load"; return 1; }
  in_prefix "$prefix1" "$WINE_LOADER" two_copies.exe --cut-save "$ini" 4 >"$work/C.txt" 2>&1 </dev/null
  touch "$work/done"
  wait "$w" || { echo "W: $(tr -d '\r' <"$work/W.txt")"; return 1; }
  saves=$((saves + $(tr -dc '0-9' <"$work/W.txt")))
  in_prefix "$prefix2" "$WINE_LOADER" two_copies.exe --start "$ini" 2>&1 </dev/null |
    tr -d '\r' >"$work/start.txt"
  local n
  for n in 1 2 3 4 cut; do
    grep -qx "C-$n" "$work/start.txt" && continue
    echo "C-$n lost; C: $(tr -d '\r' <"$work/C.txt") W: $(tr -d '\r' <"$work/W.txt")"
    grep -v '^user' "$work/start.txt" | tr '\n' ' '; echo
    return 1
  done
  [ "$(grep -c '^user' "$work/start.txt")" -eq 150 ] || { echo "the file's logons lost"; return 1; }
}
races=${VK_RACE_RUNS:-10} lost=0 saves=0
for run in $(seq "$races"); do race || { echo "race $run lost logons"; lost=$((lost + 1)); }; done
echo "cut while the other waits: $lost of $races runs lost logons ($saves saves of the waiting copy)"
check "a save that waited for the lock never writes over the other PC's cut save" [ "$lost" -eq 0 ]

# --- two copies of the program close together ---------------------------------
settings 600 >"$work/Vostrelk.ini"
# Copy A (its window alone on the screen): the first logon, its user changed
# to fromA, registered.
start_program
pid_a=$pid
check "copy A starts" wait_for 30 has_window
wait_for 60 list_ready  # keys count once the file is read
sleep 0.3
xdotool mousemove --window "$(main_window)" 40 40 sleep 0.3 key Down sleep 0.3 \
  key shift+Tab shift+Tab shift+Tab sleep 0.3 type fromA
key alt+a
# Copy B, on the other PC, over A's window: registers fromB the same way,
# then deletes the first logon, so that its save rewrites every slot. Each
# change is saved a moment later, while the other copy runs.
( vk_wine_env "$prefix2"; start_program; echo "$pid" >"$work/pid_b" )
pid_b=$(cat "$work/pid_b")
sleep 3
check "copy B starts" wait_for 30 bash -c "[ \$(xdotool search --onlyvisible --name '^Vostrelk\$' | wc -l) -eq 2 ]"
( vk_wine_env "$prefix2"; wait_for 60 list_ready )
sleep 0.3
xdotool mousemove 300 300 sleep 0.3 key Down sleep 0.3 \
  key shift+Tab shift+Tab shift+Tab sleep 0.3 type fromB
key alt+a
xdotool key Home sleep 0.3 key alt+d
sleep 1.5
import -window root "$out/two-copies.png"
# Both closed at once, each by its own PC's taskkill (WM_CLOSE, as the close button).
in_prefix "$prefix2" "$WINE_LOADER" taskkill /im Vostrelk.exe >/dev/null 2>&1 &
in_prefix "$prefix1" "$WINE_LOADER" taskkill /im Vostrelk.exe >/dev/null 2>&1 &
check "both copies end" wait_for 120 bash -c "! kill -0 $pid_a 2>/dev/null && ! kill -0 $pid_b 2>/dev/null" ||
  import -window root "$out/two-copies-closing.png"
check "A's new logon is kept" file_has "User=fromA"
check "B's new logon is kept" file_has "User=fromB"
check "B's deletion is kept" file_lacks "User=user0"
check "every other logon is there" [ "$(users)" -eq 599 ]  # user1..user599, beside fromA and fromB
check "COUNT is the highest index" file_has "COUNT=600"
check "no copy and no lock file left beside the file" no_leftovers

echo "two copies: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
