#!/usr/bin/env bash
# kill_test.sh VOSTRELK_EXE OUT_DIR: kills the real program under Wine at
# points spread over its save at exit, then checks the settings file: it must
# be the old file or the new one, byte for byte, never a mixture with fewer
# logons, and the program must load it again and remove what the killed
# saves left beside it.
set -u
exe=$1 out=$(realpath -m "$2")
source "$(dirname "$0")/e2e_lib.sh"

work=$out/kill
rm -rf "$work" && mkdir -p "$work"
cp "$exe" "$work/Vostrelk.exe"
# 400 logons in LF lines: every save rewrites them with CR LF, so the old
# and the new file differ in every line.
{
  printf '[SQL*Plus]\nPath=C:\\x.exe\n[List]\nCOUNT=399\n'
  for i in $(seq 0 399); do printf '[%d]\nUser=user%d\nPass=pass%d\nHost=host%d\n' "$i" "$i" "$i" "$i"; done
} >"$work/old.ini"

open_copy() {  # open_copy [keep]: from the old file, or from what is there
  if [ "${1:-}" != keep ]; then
    cp "$work/old.ini" "$work/Vostrelk.ini"
    rm -f "$work"/Vostrelk.ini.*new "$work"/Vostrelk.ini.*bak "$work"/Vostrelk.ini.lock*
  fi
  start_program
  # A loaded machine may show the window before it takes keys.
  wait_for 60 has_window && sleep 1
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
  if cmp -s "$work/Vostrelk.ini" "$work/old.ini"; then
    olds=$((olds + 1)) passed=$((passed + 1)); state=old
  elif cmp -s "$work/Vostrelk.ini" "$work/new.ini"; then
    news=$((news + 1)) passed=$((passed + 1)); state=new
  else
    failed=$((failed + 1)); state="MIXED ($(logons "$work/Vostrelk.ini") logons)"
  fi
  echo "killed $1: file is $state$(ls "$work"/Vostrelk.ini.*new >/dev/null 2>&1 && echo ', a copy beside it')"
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
# the next save.
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
echo "kill: old file $olds times, new file $news times"
echo "kill: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
