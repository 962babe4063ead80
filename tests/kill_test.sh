#!/usr/bin/env bash
# kill_test.sh VOSTRELK_EXE TWO_COPIES_EXE OUT_DIR: kills the real program
# under Wine at points spread over its save at exit, and a copy of the store
# saving round after round at random moments (the replace's two renames
# among them). After each kill the next start must show the old file or the
# new one, byte for byte, never a mixture with fewer logons and never an
# empty list, and two more closes must keep it. A logon registered or deleted
# and then killed is on disk as it was left.
set -u
exe=$1 copies_exe=$2 out=$(realpath -m "$3")
source "$(dirname "$0")/e2e_lib.sh"

work=$out/kill
rm -rf "$work" && mkdir -p "$work"
cp "$exe" "$work/Vostrelk.exe"
cp "$copies_exe" "$work/two_copies.exe"
ini=$(winpath "$work/Vostrelk.ini")
# The next start after a kill, as the program's store does it (what a save
# cut off left put back, then two closes): the users it then holds.
# started_status: its exit status; what it said beside the users is in
# started.txt too ("gave up: ...").
start_after_kill() {
  ( cd "$work" && "$WINE_LOADER" two_copies.exe --start "$ini" ) 2>/dev/null </dev/null |
    tr -d '\r' >"$work/started.txt"
  started_status=${PIPESTATUS[0]}
}
# What a failed start leaves for the log: its status and words, the folder,
# and the settings file's size and "COUNT".
tell_start() {
  echo "  start exit status $started_status; $(grep -v '^user' "$work/started.txt" | tr '\n' ' ')"
  ls -l "$work" | grep -v '\.exe$' | sed 's/^/  /'
  echo "  Vostrelk.ini: $(wc -c <"$work/Vostrelk.ini" 2>/dev/null) bytes, $(grep -m1 '^COUNT=' "$work/Vostrelk.ini" 2>/dev/null | tr -d '\r')"
}
# 400 logons in LF lines: every save rewrites them with CR LF, so the old
# and the new file differ in every line.
{
  printf '[SQL*Plus]\nPath=C:\\x.exe\n[List]\nCOUNT=399\n'
  for i in $(seq 0 399); do printf '[%d]\nUser=user%d\nPass=pass%d\nHost=host%d\n' "$i" "$i" "$i" "$i"; done
} >"$work/old.ini"

open_copy() {  # open_copy [keep]: from the old file, or from what is there
  if [ "${1:-}" != keep ]; then
    cp "$work/old.ini" "$work/Vostrelk.ini"
    rm -f "$work"/Vostrelk.ini.*new "$work"/Vostrelk.ini.*bak "$work"/Vostrelk.ini.*tmp \
      "$work"/Vostrelk.ini.lock*
  fi
  start_program
  # The window shows while the file is read; keys count once the list takes them.
  wait_for 60 has_window && wait_for 60 list_ready && sleep 0.3
}
# Deletes the first logon with the keyboard (the list has the focus: Down
# selects it, Alt+D deletes it), so that every slot moves and the save
# rewrites the whole file; then closes the window.
close_program() {
  xdotool mousemove --window "$(main_window)" 40 40 sleep 0.3 key Down sleep 0.3 key alt+d \
    sleep 0.3 key alt+F4
}
# Logons the file holds: its COUNT plus one.
logons() { echo $(($(grep -m1 '^COUNT=' "$1" | tr -d '\r' | cut -d= -f2) + 1)); }

# One save left alone gives the new file.
open_copy || { echo "kill: the program did not start"; exit 1; }
t0=$(date +%s%N)
close_program
wait "$pid"
save_ms=$((($(date +%s%N) - t0) / 1000000))
cp "$work/Vostrelk.ini" "$work/new.ini"
echo "an undisturbed run (keys, delete, save of 399 logons) took ${save_ms} ms"
if cmp -s "$work/new.ini" "$work/old.ini" || [ "$(logons "$work/new.ini")" -ne 399 ]; then
  echo "kill: FAIL the undisturbed run did not save the deletion"
  exit 1
fi

olds=0 news=0
# kill_and_check WHEN WAIT...: closes a fresh copy, runs WAIT, kills the
# program and checks the file is the old one or the new one.
kill_and_check() {
  open_copy || { failed=$((failed + 1)); return; }
  close_program
  "${@:2}"
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  start_after_kill
  if cmp -s "$work/Vostrelk.ini" "$work/old.ini"; then
    olds=$((olds + 1)) passed=$((passed + 1)); state=old
  elif cmp -s "$work/Vostrelk.ini" "$work/new.ini"; then
    news=$((news + 1)) passed=$((passed + 1)); state=new
  else
    failed=$((failed + 1)); state="MIXED ($(logons "$work/Vostrelk.ini") logons)"
    tell_start
  fi
  echo "killed $1: file is $state$(grep -q '^put back' "$work/started.txt" && echo ', put back')"
}
for tenth in 1 2 4 6 7 8 9 10 11 12; do
  delay=$((save_ms * tenth / 10))  # spread over the save and its end
  kill_and_check "${delay} ms after close" sleep "$(awk "BEGIN { print $delay / 1000 }")"
done
# The copy is there from its write until it takes the file's place: the
# system reads it back meanwhile. Killed as soon as it shows.
copy_shows() { compgen -G "$work/Vostrelk.ini.*-*.new" >/dev/null; }
until_copy() { local end=$((SECONDS + 20)); until copy_shows || [ $SECONDS -ge $end ]; do :; done; }
kill_and_check "as its copy showed, while the system read it back" until_copy

# The program starts on what is left; the copies killed saves left (they hold
# every password, deleted ones too) and a killed holder's lock file go with
# the next start.
before=$(logons "$work/Vostrelk.ini")
head -c 5000 "$work/new.ini" >"$work/Vostrelk.ini.new"
head -c 5000 "$work/new.ini" >"$work/Vostrelk.ini.4242-7.new"
open_copy keep && close_program && wait "$pid"
if [ "$(logons "$work/Vostrelk.ini")" -eq $((before - 1)) ] &&
   ! ls "$work"/Vostrelk.ini.*new "$work"/Vostrelk.ini.*bak "$work"/Vostrelk.ini.lock* >/dev/null 2>&1; then
  passed=$((passed + 1))
else
  failed=$((failed + 1)); echo "FAIL the next run did not load and save all logons, or left copies"
  ls "$work"
fi

# A logon registered, then the program killed: it is in the file. A logon
# deleted, then killed: gone, its password with it. (Down selects the first
# logon; three Shift+Tab reach the user box; Alt+A registers, Alt+D deletes.)
open_copy
xdotool mousemove --window "$(main_window)" 40 40 sleep 0.3 key Down sleep 0.3 \
  key shift+Tab shift+Tab shift+Tab sleep 0.3 type registered
xdotool key alt+a
sleep 2.5
kill -9 "$pid"; wait "$pid" 2>/dev/null
check "a logon registered is there after a kill" file_has "User=registered"
open_copy keep
xdotool mousemove --window "$(main_window)" 40 40 sleep 0.3 key Down Down sleep 0.3 key alt+d
sleep 2.5
kill -9 "$pid"; wait "$pid" 2>/dev/null
check "a logon deleted is gone after a kill, its password too" file_lacks "Pass=pass1"

# The save's own steps, the replace's two renames among them: a copy of the
# store saving one change after another, as fast as it can (its file in the
# program's own form, so that the replace is much of each save), killed at
# random moments. Every logon of the file must be there at the next start,
# and after two more closes.
recovered=0 kills=${VK_KILLS:-40}  # more by hand: VK_KILLS=200
for kill in $(seq "$kills"); do
  cp "$work/new.ini" "$work/Vostrelk.ini"
  rm -f "$work"/Vostrelk.ini.*
  ( cd "$work" && exec "$WINE_LOADER" two_copies.exe --save-loop "$ini" ) >/dev/null 2>&1 </dev/null &
  copy=$!
  sleep "$(awk -v k="$kill" 'BEGIN { srand(k); print 0.7 + rand() * 1.5 }')"
  kill -9 "$copy" 2>/dev/null; wait "$copy" 2>/dev/null
  start_after_kill
  grep -q '^put back' "$work/started.txt" && recovered=$((recovered + 1))
  if [ "$(grep -c '^user' "$work/started.txt")" -eq 399 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1)); echo "FAIL kill $kill of the saving copy: $(grep -c '^user' "$work/started.txt") of 399 logons"
    tell_start
  fi
done
echo "kill: $kills kills of a saving copy, $recovered of them cut a save that the next start put back"
echo "kill: old file $olds times, new file $news times"
echo "kill: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
