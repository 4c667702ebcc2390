#!/usr/bin/env bash
# The page in headless Chromium, frame-locked (index.html?capture=...): frames of
# 2D and 3D scenes of both songs, and of the earlier build, must hash exactly as
# the native capture tool's frames do. Skipped (exit 77) where the page could not
# be built (no Emscripten) or Chromium is not installed.
#   web_frames.sh PATH/TO/velmora_capture SITE_DIR
set -u
capture=${1:?usage: web_frames.sh velmora_capture SITE_DIR}
site=${2:?usage: web_frames.sh velmora_capture SITE_DIR}
[ -f "$site/index.html" ] && [ -f "$site/velmora.wasm" ] || { echo "SKIP: the page was not built"; exit 77; }
browser=$(command -v chromium || command -v chromium-browser) || { echo "SKIP: Chromium is not installed"; exit 77; }

# Frames and what they show (TIMELINE's frame numbers of the frame-locked run).
final_frames=(300 4450 4800 5400 8400 9400 10200 11000 11760)
final_names=("intro title" "wait for song 1's end (a spin-wait's repeated frame)" "fleet, song 2"
             "texture tunnel" "blob" "particle cloud" "chessboard floor" "grit" "end screens")
vox_frames=(9400)
vox_names=("voxel landscape (earlier build)")

work=$(mktemp -d)
server=
trap 'kill $server 2> /dev/null; wait $server 2> /dev/null; rm -rf "$work"' EXIT
. "$(dirname "$0")/page_runner.sh"
serve_folder "$site"

# Prints the page's hashes for the frames in $2 (comma-separated); $1 extra address options.
page_hashes() {
  page_dom "index.html?capture=$2&key=B$1" | sed -n 's/.*<p id="frame-hash">\([^<]*\)<\/p>.*/\1/p'
}

failed=0
# compare LABEL NATIVE_OPTION PAGE_OPTION FRAMES... -- NAMES...
compare() {
  local label=$1 native_option=$2 page_option=$3
  shift 3
  local frames=() names=()
  while [ "$1" != "--" ]; do frames+=("$1"); shift; done
  shift
  names=("$@")
  local native_args=() list
  for f in "${frames[@]}"; do native_args+=(--hash-frame "$f"); done
  list=$(IFS=,; echo "${frames[*]}")
  local started=$SECONDS
  mapfile -t native < <("$capture" $native_option "${native_args[@]}")
  local native_s=$((SECONDS - started))
  started=$SECONDS
  local page_text
  page_text=$(page_hashes "$page_option" "$list")
  local page_s=$((SECONDS - started))
  read -r -a page <<< "$page_text"
  echo "$label: native capture ${native_s} s, headless Chromium ${page_s} s (start-up and data included)"
  if [ ${#native[@]} -ne ${#frames[@]} ]; then
    echo "FAIL: the capture tool gave ${#native[@]} hashes for ${#frames[@]} frames"
    failed=1
    return
  fi
  if [ ${#page[@]} -ne ${#frames[@]} ]; then
    echo "FAIL: the page gave no hashes: '${page_text}'"
    echo "--- the browser's output:"; tail -n 20 "$work/browser.log"
    failed=1
    return
  fi
  for i in "${!frames[@]}"; do
    if [ "${native[$i]}" = "${page[$i]}" ]; then
      echo "  frame ${frames[$i]} (${names[$i]}): same ${native[$i]}"
    else
      echo "  FAIL frame ${frames[$i]} (${names[$i]}): native ${native[$i]}, page ${page[$i]}"
      failed=1
    fi
  done
}

compare "velmora" "" "" "${final_frames[@]}" -- "${final_names[@]}"
compare "velmora_vox" "--vox" "&vox=1" "${vox_frames[@]}" -- "${vox_names[@]}"
exit $failed
