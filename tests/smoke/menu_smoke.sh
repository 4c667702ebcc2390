#!/usr/bin/env bash
# The real program in a real (virtual) X server, as a new user would try it:
# - no display (DISPLAY unset, or naming a server that is gone): a message that
#   says so and exit 1 at once;
# - the "Choose Mode" window shows and waits for its key without spinning; Escape
#   quits at once with exit code 0;
# - the mode key typed as "b" and as "B" (xdotool holds Shift for it), with
#   Shift or Ctrl held on while the main window opens, and itself held on into
#   the main window (for 1.5 s, so that it repeats there, or for 0.2 s): the
#   show runs on (4 s later it still does) in a 320x240 or 640x480 "Velmora"
#   window, and A fills the screen; a key (after a held mode key, that same key
#   pressed again, alone or with Shift) ends the show with 0, SIGTERM with 143,
#   SIGINT with 130;
# - a fatal error (song 1 missing) with standard error to a file or a pipe: the
#   message there and exit 1 at once; to /dev/null: a message box that SIGTERM
#   takes down with the program (or, where no box can be drawn, exit 1).
# Skipped (exit 77) where Xvfb cannot start.
set -u
program=${1:?usage: menu_smoke.sh PATH/TO/velmora}
program=$(cd "$(dirname "$program")" && pwd)/$(basename "$program")
cd "$(dirname "$program")"
for tool in Xvfb xdotool xwininfo; do
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
display_number=$(head -n 1 "$number_file")
export DISPLAY=":$display_number" SDL_AUDIODRIVER=dummy
rm -f "$number_file"
for _ in $(seq 50); do xdotool getmouselocation > /dev/null 2>&1 && break; sleep 0.1; done
xdotool getmouselocation > /dev/null 2>&1 || { echo "SKIP: Xvfb did not start"; kill $xvfb; exit 77; }

log=$(mktemp)
scratch=$(mktemp -d)
trap 'kill $xvfb 2> /dev/null; wait $xvfb 2> /dev/null; rm -rf "$log" "$scratch"' EXIT
fail() {
  echo "FAIL: $*"
  echo "--- the program's output:"; cat "$log"
  echo "--- windows:"; xwininfo -root -tree 2> /dev/null | grep -E '^ +0x' | head -n 20
  [ -n "${pid:-}" ] && kill -KILL "$pid" 2> /dev/null
  exit 1
}

# Starts the program (or $run_as) in the background with SIGINT at its default,
# as from a terminal (a background job of a script would have it ignored).
start() {
  env --default-signal=INT "${run_as:-$program}" > "$log" 2>&1 &
  pid=$!
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

# The same once the window has settled: SDL may replace a new window with one
# that suits its renderer.
settled_window() {
  find_window "$1" > /dev/null || return 1
  sleep 0.5
  find_window "$1"
}

press() {  # window id, key
  xdotool windowfocus --sync "$1" > /dev/null 2>&1
  xdotool key --clearmodifiers "$2"
}

# Waits up to $1 seconds for the program to end; sets `code` to its exit status
# (or "timeout") and `took` to the milliseconds it took. The bounds are generous:
# they tell an exit from a hang (a message box waits 30 s, a menu forever) and do
# not measure speed on a shared machine; the time taken is reported instead.
wait_exit() {
  local from
  from=$(date +%s%N)
  code=timeout
  for _ in $(seq $(( $1 * 50 ))); do
    if ! kill -0 "$pid" 2> /dev/null; then wait "$pid"; code=$?; break; fi
    sleep 0.02
  done
  took=$(( ($(date +%s%N) - from) / 1000000 ))
  [ "$code" = timeout ] && kill -KILL "$pid" 2> /dev/null
  return 0
}

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# No display: DISPLAY unset, or a display whose server is gone.
unused=$(( display_number + 1 ))
while [ -e "/tmp/.X11-unix/X$unused" ]; do unused=$(( unused + 1 )); done
for display in unset ":$unused"; do
  if [ "$display" = unset ]; then
    env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "$program" > "$log" 2>&1 &
  else
    env -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER DISPLAY="$display" "$program" > "$log" 2>&1 &
  fi
  pid=$!
  wait_exit 10
  [ "$code" = 1 ] || fail "DISPLAY=$display: exit $code (expected 1 at once)"
  grep -q "no display" "$log" || fail "DISPLAY=$display: no message saying there is no display"
  echo "ok: no display (DISPLAY $display): exit 1 in $took ms"
done

# The menu waits without spinning; Escape quits at once with exit code 0 and no
# "Velmora" window.
start
menu=$(find_window "Choose Mode") || fail "no \"Choose Mode\" window"
sleep 1
ticks=$(cpu_ticks "$pid"); sleep 3; ticks=$(( $(cpu_ticks "$pid") - ticks ))
hz=$(getconf CLK_TCK)
[ $(( ticks * 100 )) -le $(( hz * 3 * 10 )) ] || fail "the waiting menu used $ticks ticks of $((hz * 3)) in 3 s"
echo "ok: the waiting menu used $ticks of $((hz * 3)) clock ticks in 3 s"
press "$menu" Escape
wait_exit 10
[ "$code" = 0 ] || fail "Escape at the menu: exit $code (expected 0 at once)"
[ -z "$(xdotool search --name '^Velmora$' 2> /dev/null)" ] || fail "Escape opened the main window"
echo "ok: Escape quits with 0"

# Types the mode key as $1: a key name for xdotool; held-shift / held-ctrl:
# the modifier goes down before the key and comes up only after the main
# window has the focus; hold-SECONDS: the key $2 itself is held that long, on
# into the main window (past X's auto-repeat delay of 0.5 s it repeats there).
type_mode_key() {
  case $1 in
    hold-*)
      xdotool windowfocus --sync "$menu" > /dev/null 2>&1
      xdotool keydown "$2"
      sleep "${1#hold-}"
      xdotool keyup "$2" ;;
    held-*)
      xdotool windowfocus --sync "$menu" > /dev/null 2>&1
      xdotool keydown "${1#held-}"
      xdotool key "$2"
      main=$(find_window "Velmora") || { xdotool keyup "${1#held-}"; fail "$1 $2 opened no \"Velmora\" window"; }
      xdotool windowfocus "$main" > /dev/null 2>&1
      sleep 0.3
      xdotool keyup "${1#held-}" ;;
    *) press "$menu" "$1" ;;
  esac
}

# Each spelling of a mode key: the show opens its window in the mode's size and
# is still running 4 s later; then it is ended by a key (space, or $6), SIGTERM
# or SIGINT.
for run in "b b 320x240 key 0" "B b 320x240 TERM 143" "held-shift b 320x240 INT 130" \
           "held-ctrl c 640x480 key 0" "hold-1.5 b 320x240 key 0 b" "hold-0.2 c 640x480 key 0 shift+c"; do
  set -- $run
  start
  menu=$(find_window "Choose Mode") || fail "no \"Choose Mode\" window"
  type_mode_key "$1" "$2"
  [ -n "$(ps -o pid= -p "$pid")" ] && [ "$(ps -o stat= -p "$pid" | cut -c1)" != Z ] ||
    { wait "$pid"; fail "$1 $2: the show ended at once (exit $?)"; }
  main=$(settled_window "Velmora") || fail "$1 opened no \"Velmora\" window"
  size=$(xdotool getwindowgeometry "$main" | sed -n 's/.*Geometry: //p')
  [ "$size" = "$3" ] || fail "$1 opened a window of $size (expected $3)"
  sleep 4
  kill -0 "$pid" 2> /dev/null || { wait "$pid"; fail "$1: the show ended by itself (exit $?)"; }
  if [ "$4" = key ]; then press "$main" "${6:-space}"; else kill -"$4" "$pid"; fi
  wait_exit 30
  [ "$code" = "$5" ] || fail "$1 $2, then $4${6:+ $6}: exit $code (expected $5)"
  echo "ok: mode key $1 $2 opens $3, the show runs on; $4${6:+ $6} ends it with $code"
done

# A: full screen fills the screen, with no window manager to help.
start
menu=$(find_window "Choose Mode") || fail "no \"Choose Mode\" window"
press "$menu" a
main=$(settled_window "Velmora") || fail "A opened no \"Velmora\" window"
size=$(xwininfo -id "$main" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
[ "$size" = 1024x768 ] || fail "A: a window of $size on a 1024x768 screen"
kill -TERM "$pid"
wait_exit 30
[ "$code" = 143 ] || fail "A, then TERM: exit $code (expected 143)"
echo "ok: A fills the 1024x768 screen"

# A fatal error: the show's data without song 1, beside a copy of the program.
mkdir -p "$scratch/qd"
cp "$program" "$scratch/"
for part in gfx 3d; do ln -s "$(dirname "$program")/qd/$part" "$scratch/qd/$part"; done
run_as="$scratch/$(basename "$program")"
cd "$scratch"
for target in file pipe; do
  if [ $target = file ]; then
    env --default-signal=INT "$run_as" 2> "$scratch/errors" > /dev/null &
  else
    mkfifo "$scratch/fifo"
    cat "$scratch/fifo" > "$scratch/errors" &
    env --default-signal=INT "$run_as" 2> "$scratch/fifo" > /dev/null &
  fi
  pid=$!
  menu=$(find_window "Choose Mode") || fail "no \"Choose Mode\" window"
  press "$menu" b
  wait_exit 10
  cp "$scratch/errors" "$log"
  [ "$code" = 1 ] || fail "song 1 missing, errors to a $target: exit $code (expected 1 at once)"
  grep -q "cannot open the song" "$scratch/errors" || fail "song 1 missing: no message in the $target"
  echo "ok: song 1 missing, errors to a $target: the message there, exit 1 in $took ms"
done

env --default-signal=INT "$run_as" 2> /dev/null > /dev/null &
pid=$!
menu=$(find_window "Choose Mode") || fail "no \"Choose Mode\" window"
press "$menu" b
box=""
for _ in $(seq 100); do
  kill -0 "$pid" 2> /dev/null || break
  box=$(xwininfo -root -tree | grep -E '^ +0x[0-9a-f]+ "Velmora"' | grep -v ' 320x240+' | head -n 1)
  [ -n "$box" ] && break
  sleep 0.1
done
if [ -n "$box" ]; then
  helpers=$(pgrep -P "$pid" | tr '\n' ' ')
  kill -TERM "$pid"
  wait_exit 10
  [ "$code" = 143 ] || fail "SIGTERM with the message box up: exit $code (expected 143)"
  sleep 0.5
  for helper in $helpers; do
    [ -z "$(ps -o pid= -g "$helper")" ] || fail "the message box's process $helper outlived the program"
  done
  xwininfo -root -tree | grep -qE '^ +0x[0-9a-f]+ "Velmora"' && fail "the message box outlived the program"
  echo "ok: song 1 missing, errors to /dev/null: a message box; SIGTERM takes it down, exit 143"
else
  wait_exit 10
  [ "$code" = 1 ] || fail "song 1 missing, errors to /dev/null, no box: exit $code (expected 1)"
  echo "ok: song 1 missing, errors to /dev/null: no box could be drawn here, exit 1"
fi
echo "menu smoke test passed"
