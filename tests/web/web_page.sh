#!/usr/bin/env bash
# The page's own handling in headless Chromium: the menu keys open the show's
# window at the mode's size, and missing or damaged data ends the run with a
# message saying what is wrong (never a hang or a blank page). Skipped (exit 77)
# where the page could not be built or Chromium is not installed.
#   web_page.sh SITE_DIR
set -u
site=${1:?usage: web_page.sh SITE_DIR}
[ -f "$site/index.html" ] && [ -f "$site/velmora.wasm" ] || { echo "SKIP: the page was not built"; exit 77; }
browser=$(command -v chromium || command -v chromium-browser) || { echo "SKIP: Chromium is not installed"; exit 77; }

work=$(mktemp -d)
server=
trap 'kill $server 2> /dev/null; wait $server 2> /dev/null; rm -rf "$work"' EXIT
. "$(dirname "$0")/page_runner.sh"

# Variants of the page beside each other: the real one, one without its data,
# one with its data cut short, one whose data lacks the first song.
mkdir -p "$work/site"/{whole,no_data,cut_data,no_song}
for variant in whole no_data cut_data no_song; do
  cp "$site"/index.html "$site"/*.js "$site"/*.css "$site"/velmora.wasm "$work/site/$variant/"
done
cp "$site/qd.tar.gz" "$work/site/whole/"
head -c 100000 "$site/qd.tar.gz" > "$work/site/cut_data/qd.tar.gz"
mkdir "$work/unpacked"
tar -xzf "$site/qd.tar.gz" -C "$work/unpacked"
rm "$work/unpacked/qd/music/1.xm"
tar -czf "$work/site/no_song/qd.tar.gz" -C "$work/unpacked" qd

serve_folder "$work/site"

failed=0
# expect NAME ADDRESS TEXT: the page's DOM holds TEXT.
expect() {
  local dom
  dom=$(page_dom "$2")
  if [[ "$dom" == *"$3"* ]]; then
    echo "ok: $1"
  else
    echo "FAIL: $1: the page does not say '$3'; its status: $(sed -n 's/.*<p id="status"[^>]*>\([^<]*\)<.*/\1/p' <<< "$dom")"
    failed=1
  fi
}

expect "B opens a 320x240 window" "whole/index.html?capture=2&key=B" 'id="stage" class="" style="width: 320px; height: 240px;"'
expect "C opens a 640x480 window" "whole/index.html?capture=2&key=C" 'id="stage" class="" style="width: 640px; height: 480px;"'
expect "no data: a message" "no_data/index.html?capture=2" "cannot load the show's data (qd.tar.gz: HTTP 404)"
expect "data cut short: a message" "cut_data/index.html?capture=2" "the show's data (qd.tar.gz) is damaged or cut short"
expect "a song missing: a message naming it" "no_song/index.html?capture=2" "cannot open the song qd/music/1.xm"
expect "a bad capture address: a message" "whole/index.html?capture=soon" "capture= takes frame numbers"
exit $failed
