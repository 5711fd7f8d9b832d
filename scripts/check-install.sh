#!/usr/bin/env bash
# Test: installing a build puts the programs, the desktop entry, the icon in every size of the
# icon theme, the AppStream description and the user guide with its pictures where a desktop
# looks for them.
#   check-install.sh BUILD_DIR
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cmake --install "$build" --prefix "$tmp" >/dev/null
status=0
fail() { echo "FAIL: $*" >&2; status=1; }

sizes=(16 24 32 48 64 128 256 512)
metainfo=share/metainfo/com.brantix.merrowby.metainfo.xml
for f in bin/merrowby bin/merrowby-admin share/applications/merrowby.desktop \
         share/doc/merrowby/mby.htm "$metainfo"; do
  [[ -s $tmp/$f ]] || fail "$f not installed"
done
for f in bin/merrowby bin/merrowby-admin; do
  [[ ! -e $tmp/$f || -x $tmp/$f ]] || fail "$f is not executable"
done
# Every picture the installed guide shows is installed beside it.
guide=$tmp/share/doc/merrowby/mby.htm
if [[ -f $guide ]]; then
  for src in $(grep -o 'src="[^"]*"' "$guide" | sed 's/^src="//; s/"$//'); do
    [[ -s $(dirname "$guide")/$src ]] || fail "the guide's picture $src is not installed"
  done
fi
# The desktop entry must name the installed program and the installed icon.
desktop=$tmp/share/applications/merrowby.desktop
if [[ -f $desktop ]]; then
  grep -q '^Exec=.*exec merrowby"$' "$desktop" || fail "Exec does not start merrowby"
  grep -q '^Icon=merrowby$' "$desktop" || fail "Icon is not merrowby"
fi
for size in "${sizes[@]}"; do
  png=$tmp/share/icons/hicolor/${size}x${size}/apps/merrowby.png
  [[ -s $png ]] || { fail "${size}px icon not installed"; continue; }
  # PNG width and height are the big-endian words at bytes 16 and 20.
  dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
  [[ $dims == "${size}x${size}" ]] || fail "${size}px icon is $dims"
done
# The description passes the validator of the AppStream tools, which also looks for the desktop
# entry it names and that entry's icon in the installed tree.
if [[ -f $tmp/$metainfo ]]; then
  if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$tmp/$metainfo" >"$tmp/validate.log" 2>&1 ||
      { cat "$tmp/validate.log" >&2; fail "metainfo does not validate"; }
    appstreamcli validate-tree --no-net "$tmp" >"$tmp/validate.log" 2>&1 ||
      { cat "$tmp/validate.log" >&2; fail "installed tree does not validate"; }
  else
    echo "check-install: appstreamcli missing, metainfo not validated" >&2
  fi
fi
((status == 0)) && echo "install OK"
exit $status
