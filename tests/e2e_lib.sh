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
no_window() { [ -z "$(main_window)" ]; }
process_ended() { ! kill -0 "$1" 2>/dev/null; }

# Client-area origin of the main window: the frame is the same width on every
# side, the caption adds to the top.
origin() {
  local wid=$1 X Y WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$wid")"
  local client_w=$2 client_h=$3
  local border=$(((WIDTH - client_w) / 2))
  local caption=$((HEIGHT - client_h - 2 * border))
  OX=$((X + border)) OY=$((Y + border + caption)) WIN_W=$WIDTH WIN_H=$HEIGHT
}
click_at() {  # click_at X Y in client coordinates
  xdotool mousemove $((OX + $1)) $((OY + $2)) click 1
  sleep 0.6  # longer than the double-click time between separate clicks
}
# open_program CHECK: starts a copy at 96 pixels per inch (whatever an
# interrupted earlier run left) and checks that its window comes; sets wid and
# the client origin for click_at.
open_program() {
  vk_dpi 96
  start_program
  check "$1" wait_for 30 has_window
  wid=$(main_window)
  origin "$wid" 368 206
  sleep 1
}
key() { xdotool key --delay 80 "$@"; sleep 0.4; }
recorded() { [ -f "$work/record.txt" ] && cat "$work/record.txt"; }
file_has() { iconv -f CP932 -t UTF-8 "$work/Vostrelk.ini" | tr -d '\r' | grep -qxF "$1"; }
file_lacks() { ! file_has "$1"; }

