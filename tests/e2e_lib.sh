# e2e_lib.sh: what the end-to-end scripts share (sourced, not run): the Wine
# environment, named checks, and a user's clicks and keys on the real program
# started from $work.
source "$(dirname "${BASH_SOURCE[0]}")/../tools/env.sh"
vk_wine_prefix

passed=0 failed=0
check() {  # check NAME COMMAND...: one named expectation
  if "${@:2}"; then passed=$((passed + 1)); echo "ok   $1"; else failed=$((failed + 1)); echo "FAIL $1"; fi
}

pid=
start_program() {  # start_program [wine start options]: starts a copy in the background
  ( cd "$work" && exec "$WINE_LOADER" "$@" Vostrelk.exe ) >>"$work/wine.log" 2>&1 </dev/null &
  pid=$!
}
main_window() { xdotool search --onlyvisible --name '^Vostrelk$' 2>/dev/null | head -n1; }
wait_for() {  # wait_for SECONDS COMMAND...: until the command succeeds
  local end=$((SECONDS + $1))
  until "${@:2}"; do [ $SECONDS -ge $end ] && return 1; sleep 0.2; done
}
has_window() { [ -n "$(main_window)" ]; }
# The list takes keys once the settings file is read: it is disabled until then.
list_ready() {
  locate
  local id
  id=$(awk '$1 == "#define" && $2 == "IDC_LSTLOGIN" { print $3 }' "$VOSTRELK_ROOT/ui/resource.h")
  awk -v id="$id" '$1 == id && $7 == 1 { found = 1 } END { exit !found }' "$work/where.txt"
}
no_window() { [ -z "$(main_window)" ]; }
process_ended() { ! kill -0 "$1" 2>/dev/null; }

# Where the controls stand, asked from the window itself (vk_where, beside
# the tests' other programs): their screen rectangles by control ID, as
# ui/resource.h names them (BTNSHELL, LSTLOGIN...). Asked again after the
# window opens or moves.
where_exe=${where_exe:-$VOSTRELK_ROOT/build/windows/tests/vk_where.exe}
locate() {  # (its lines end in CR LF)
  "$WINE_LOADER" "$where_exe" >"$work/where.raw" 2>/dev/null </dev/null
  tr -d '\r' <"$work/where.raw" >"$work/where.txt"
}
rect_of() {  # rect_of NAME: left top right bottom item-height
  local id
  id=$(awk -v n="IDC_$1" '$1 == "#define" && $2 == n { print $3 }' "$VOSTRELK_ROOT/ui/resource.h")
  awk -v id="$id" '$1 == id { print $2, $3, $4, $5, $6 }' "$work/where.txt"
}
click_control() {  # click_control NAME: a click in the middle of the control
  local l t r b h
  read -r l t r b h < <(rect_of "$1")
  xdotool mousemove $(((l + r) / 2)) $(((t + b) / 2)) click 1
  sleep 0.6  # longer than the double-click time between separate clicks
}
click_item() {  # click_item N: item N of the list of logons
  local l t r b h
  read -r l t r b h < <(rect_of LSTLOGIN)
  xdotool mousemove $((l + 40)) $((t + 2 + $1 * h + h / 2)) click 1
  sleep 0.6
}
# open_program CHECK: starts a copy at 96 pixels per inch (whatever an
# interrupted earlier run left) and checks that its window comes; sets wid,
# the window's size (WIN_W, WIN_H) and where its controls are.
open_program() {
  vk_dpi 96
  start_program
  check "$1" wait_for 30 has_window
  wid=$(main_window)
  local X Y WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$wid")"
  WIN_W=$WIDTH WIN_H=$HEIGHT
  wait_for 30 list_ready  # the window shows while the file is read
  sleep 0.3
  locate
}
key() { xdotool key --delay 80 "$@"; sleep 0.4; }
recorded() { [ -f "$work/record.txt" ] && cat "$work/record.txt"; }
file_has() { iconv -f CP932 -t UTF-8 "$work/Vostrelk.ini" | tr -d '\r' | grep -qxF "$1"; }
file_lacks() { ! file_has "$1"; }

