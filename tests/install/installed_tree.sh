#!/usr/bin/env bash
# The installed tree: `cmake --install` puts the programs, the data, the desktop
# entries and the icons where the desktop and the programs look for them, and an
# installed program started from `/`, with the tree moved elsewhere after
# installing, still finds its data (in share/velmora beside its bin/).
set -u
build=${1:?usage: installed_tree.sh BUILD_DIR}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$scratch/prefix" > "$scratch/install.log" 2>&1 ||
  { cat "$scratch/install.log"; fail "cmake --install failed"; }
mv "$scratch/prefix" "$scratch/moved"
tree=$scratch/moved
for file in bin/velmora bin/velmora_vox bin/velmora_capture share/velmora/qd/music/1.xm \
            share/velmora/qd/music/2.xm share/applications/velmora.desktop \
            share/applications/velmora-vox.desktop; do
  [ -s "$tree/$file" ] || fail "$file is not installed"
done
for size in 48 64 128 256; do
  icon=$tree/share/icons/hicolor/${size}x$size/apps/velmora.png
  # The PNG header: signature, IHDR, width and height, 8-bit RGBA (colour type 6).
  header=$(od -An -tx1 -N26 "$icon" 2> /dev/null | tr -d ' \n')
  printf -v want '89504e470d0a1a0a0000000d49484452%08x%08x0806' "$size" "$size"
  [ "$header" = "$want" ] || fail "the ${size}px icon is not a ${size}x$size RGBA PNG ($header)"
done
[ -z "$(find "$tree" -name .forged)" ] || fail "the build's stamp file was installed"
grep -q '^Exec=velmora$' "$tree/share/applications/velmora.desktop" || fail "velmora.desktop does not start velmora"
grep -q '^Exec=velmora_vox$' "$tree/share/applications/velmora-vox.desktop" || fail "velmora-vox.desktop does not start velmora_vox"
if command -v desktop-file-validate > /dev/null; then
  desktop-file-validate "$tree"/share/applications/*.desktop || fail "a desktop entry does not validate"
fi

# From /, with no data there or beside the program: a few frames, then a key,
# and the show must run to its shutdown on the installed data.
(cd / && "$tree/bin/velmora_capture" --quiet --max-frames 30 --log "$scratch/log" > "$scratch/out" 2>&1) ||
  { cat "$scratch/out"; fail "the installed capture tool failed from /"; }
grep -q '^# shutdown reached' "$scratch/log" || { cat "$scratch/log"; fail "the installed show did not reach its shutdown"; }
echo "installed tree passed"
