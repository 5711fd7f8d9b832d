#!/usr/bin/env bash
# Test: installing a build puts the programs, the desktop entry, both icon sizes and the user
# guide where a desktop looks for them.
#   check-install.sh BUILD_DIR
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cmake --install "$build" --prefix "$tmp" >/dev/null
status=0
for f in bin/merrowby bin/merrowby-admin share/applications/merrowby.desktop \
         share/icons/hicolor/256x256/apps/merrowby.png share/icons/hicolor/32x32/apps/merrowby.png \
         share/doc/merrowby/mby.htm; do
  [[ -s $tmp/$f ]] || { echo "FAIL: $f not installed" >&2; status=1; }
done
for f in bin/merrowby bin/merrowby-admin; do
  [[ ! -e $tmp/$f || -x $tmp/$f ]] || { echo "FAIL: $f is not executable" >&2; status=1; }
done
# The desktop entry must name the installed program and the installed icon.
desktop=$tmp/share/applications/merrowby.desktop
if [[ -f $desktop ]]; then
  grep -q '^Exec=.*exec merrowby"$' "$desktop" || { echo "FAIL: Exec does not start merrowby" >&2; status=1; }
  grep -q '^Icon=merrowby$' "$desktop" || { echo "FAIL: Icon is not merrowby" >&2; status=1; }
fi
for size in 256 32; do
  png=$tmp/share/icons/hicolor/${size}x${size}/apps/merrowby.png
  # PNG width and height are the big-endian words at bytes 16 and 20.
  if [[ -f $png ]]; then
    dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
    [[ $dims == "${size}x${size}" ]] || { echo "FAIL: ${size}px icon is $dims" >&2; status=1; }
  fi
done
((status == 0)) && echo "install OK"
exit $status
