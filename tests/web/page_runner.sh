# page_runner.sh -- sourced by the page's tests: a static server for a folder
# and a frame-locked page run in headless Chromium. The caller sets `work` (a
# scratch folder it removes) and `browser` (the Chromium to run).

# Serves DIR on a free port of 127.0.0.1; sets `server` (its process) and `port`.
serve_folder() {
  python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$1" > "$work/server.log" 2>&1 &
  server=$!
  port=
  for _ in $(seq 100); do
    port=$(sed -n 's/.* port \([0-9]*\) .*/\1/p' "$work/server.log" | head -n 1)
    [ -n "$port" ] && return 0
    sleep 0.1
  done
  echo "FAIL: the web server did not start"
  cat "$work/server.log"
  exit 1
}

# Prints the DOM, on one line, that the page at ADDRESS (below the served
# folder) leaves once it has nothing more to do; the browser's messages go to
# $work/browser.log.
page_dom() {
  timeout 600 "$browser" --headless=new --no-sandbox --disable-gpu --no-first-run \
    --user-data-dir="$work/profile-$RANDOM" --virtual-time-budget=100000000 \
    --dump-dom "http://127.0.0.1:$port/$1" 2> "$work/browser.log" | tr -d '\n'
}
