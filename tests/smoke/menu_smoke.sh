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

display=":$((90 + RANDOM % 400))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp > /dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2> /dev/null; wait $xvfb 2> /dev/null' EXIT
export DISPLAY=$display SDL_AUDIODRIVER=dummy
for _ in $(seq 50); do xdotool getmouselocation > /dev/null 2>&1 && break; sleep 0.1; done
xdotool getmouselocation > /dev/null 2>&1 || { echo "SKIP: Xvfb did not start"; exit 77; }

fail() { echo "FAIL: $*"; exit 1; }

# Waits up to 10 s for a window whose name is exactly $1; prints its id.
find_window() {
  for _ in $(seq 100); do
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
./"$(basename "$program")" > /dev/null 2>&1 &
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
  ./"$(basename "$program")" > /dev/null 2>&1 &
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
