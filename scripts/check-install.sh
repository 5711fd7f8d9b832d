#!/usr/bin/env bash
# Test: installing a build puts the programs, the desktop entry, the icon in every size of the
# icon theme, the AppStream description and the user guide with its pictures where a desktop
# looks for them, and what the Debian package needs beside them: the copyright, the changelog,
# the manual pages and the user units of the daily notice.
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
units=(lib/systemd/user/merrowby-upcoming.service lib/systemd/user/merrowby-upcoming.timer)
for f in bin/merrowby bin/merrowby-admin share/applications/merrowby.desktop \
         share/doc/merrowby/mby.htm "$metainfo" share/doc/merrowby/copyright \
         share/doc/merrowby/changelog.gz share/man/man1/merrowby.1.gz \
         share/man/man1/merrowby-admin.1.gz "${units[@]}"; do
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
# The changelog names the version being installed; the manual pages read without complaint.
if [[ -f $tmp/share/doc/merrowby/changelog.gz ]]; then
  version=$("$tmp/bin/merrowby-admin" --version | awk '{print $2}')
  zcat "$tmp/share/doc/merrowby/changelog.gz" | head -n 1 | grep -q "^merrowby ($version)" ||
    fail "changelog.gz does not start with version $version"
fi
if command -v man >/dev/null; then
  for page in "$tmp"/share/man/man1/*.1.gz; do
    [[ -f $page ]] || continue
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null || true)
    [[ -z $warnings ]] || fail "$(basename "$page"): $warnings"
  done
fi
# The units parse, and the service starts the admin tool that was installed.
if command -v systemd-analyze >/dev/null && [[ -f $tmp/${units[0]} && -f $tmp/${units[1]} ]]; then
  mkdir "$tmp/units"
  sed "s|/usr/bin/merrowby-admin|$tmp/bin/merrowby-admin|" "$tmp/${units[0]}" >"$tmp/units/merrowby-upcoming.service"
  cp "$tmp/${units[1]}" "$tmp/units/"
  systemd-analyze verify --man=no "$tmp/units/merrowby-upcoming.timer" "$tmp/units/merrowby-upcoming.service" \
    >"$tmp/units.log" 2>&1 || { cat "$tmp/units.log" >&2; fail "the user units do not verify"; }
  grep -q '^Persistent=true$' "$tmp/units/merrowby-upcoming.timer" || fail "the timer is not persistent"
fi
((status == 0)) && echo "install OK"
exit $status
