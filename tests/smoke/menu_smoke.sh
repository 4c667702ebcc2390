#!/usr/bin/env bash
# The real program in a real (virtual) X server: the "Choose Mode" window shows,
# Escape quits at once with exit code 0, B opens a 320x240 "Velmora" window and
# C a 640x480 one; a key ends the show. Skipped (exit 77) where Xvfb cannot start.
set -u
program=${1:?usage: menu_smoke.sh PATH/TO/velmora}
cd "$(dirname "$program")"
for tool in Xvfb xdotool; do
  command -v "$tool" > /dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

# Xvfb picks a free display itself and writes its number to the file; -noreset
# keeps it from resetting (and dropping a starting window) whenever its last
# client leaves between two steps.
number_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3> "$number_file" > /dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$number_file" ] && break; sleep 0.1; done
[ -s "$number_file" ] || { echo "SKIP: Xvfb did not start"; kill $xvfb 2> /dev/null; exit 77; }
export DISPLAY=":$(head -n 1 "$number_file")" SDL_AUDIODRIVER=dummy
rm -f "$number_file"
for _ in $(seq 50); do xdotool getmouselocation > /dev/null 2>&1 && break; sleep 0.1; done
xdotool getmouselocation > /dev/null 2>&1 || { echo "SKIP: Xvfb did not start"; kill $xvfb; exit 77; }

log=$(mktemp)
trap 'kill $xvfb 2> /dev/null; wait $xvfb 2> /dev/null; rm -f "$log"' EXIT
fail() {
  echo "FAIL: $*"
  echo "--- the program's output:"; cat "$log"
  echo "--- windows:"; xwininfo -root -tree 2> /dev/null | grep -E '^ +0x' | head -n 20
  exit 1
}

# Waits up to 30 s (the machine may be busy) for a window whose name is
# exactly $1; prints its id.
find_window() {
  for _ in $(seq 300); do
    kill -0 "$pid" 2> /dev/null || { wait "$pid"; echo "(the program ended with status $?)" >> "$log"; return 1; }
    id=$(xdotool search --name "^$1\$" 2> /dev/null | head -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

press() {  # window id, key
  xdotool windowfocus --sync "$1" > /dev/null 2>&1
  xdotool key --clearmodifiers "$2"
}

# Waits up to $2 seconds for process $1 (a child of this shell) to end; sets
# `code` to its exit status, or to "timeout".
wait_exit() {
  for _ in $(seq $(( $2 * 20 ))); do
    if ! kill -0 "$1" 2> /dev/null; then wait "$1"; code=$?; return 0; fi
    sleep 0.05
  done
  kill "$1" 2> /dev/null
  code=timeout
}

# Escape at the menu: quits within a second, exit 0, no "Velmora" window.
./"$(basename "$program")" > "$log" 2>&1 &
pid=$!
menu=$(find_window "Choose Mode") || fail "no \"Choose Mode\" window"
press "$menu" Escape
wait_exit $pid 1
[ "$code" = 0 ] || fail "Escape at the menu: exit $code (expected 0 within a second)"
[ -z "$(xdotool search --name '^Velmora$' 2> /dev/null)" ] || fail "Escape opened the main window"
echo "ok: Escape quits with 0"

# B and C: the main window in its size; any key then ends the show.
for choice in "B 320x240" "C 640x480"; do
  set -- $choice
  ./"$(basename "$program")" > "$log" 2>&1 &
  pid=$!
  menu=$(find_window "Choose Mode") || fail "no \"Choose Mode\" window"
  press "$menu" "$1"
  main=$(find_window "Velmora") || fail "$1 opened no \"Velmora\" window"
  size=$(xdotool getwindowgeometry "$main" | sed -n 's/.*Geometry: //p')
  [ "$size" = "$2" ] || fail "$1 opened a window of $size (expected $2)"
  sleep 1
  press "$main" space
  wait_exit $pid 30
  [ "$code" = 0 ] || fail "a key during the show: exit $code (expected 0)"
  echo "ok: $1 opens $2 and a key ends the show"
done
echo "menu smoke test passed"
