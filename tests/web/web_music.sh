#!/usr/bin/env bash
# The browser build of libopenmpt (compiled from source for the page) renders
# both songs to exactly the samples the native library does. Skipped (exit 77)
# where the page could not be built (no Emscripten).
#   web_music.sh NATIVE_RENDER BROWSER_RENDER_JS SONG...
set -u
native=${1:?usage: web_music.sh NATIVE_RENDER BROWSER_RENDER_JS SONG...}
browser_js=${2:?usage: web_music.sh NATIVE_RENDER BROWSER_RENDER_JS SONG...}
shift 2
[ -f "$browser_js" ] || { echo "SKIP: the page was not built"; exit 77; }
node=$(command -v node || command -v nodejs) || { echo "SKIP: node is not installed"; exit 77; }

expected=$("$native" "$@") || { echo "FAIL: the native renderer failed"; exit 1; }
# Node would fetch the .wasm as a URL; read as a file it loads.
actual=$("$node" --no-experimental-fetch "$browser_js" "$@") || { echo "FAIL: the browser build's renderer failed"; exit 1; }
echo "native:"; echo "$expected"
if [ "$expected" != "$actual" ]; then
  echo "FAIL: the browser build renders differently:"; echo "$actual"
  exit 1
fi
echo "the browser build: the same"
