#!/usr/bin/env bash
# Builds the Debian package, has lintian look at it (any error or warning fails the check),
# installs it on this machine, makes a data folder with the installed admin tool, starts the
# program by its desktop entry's command on a virtual X display, and removes the package again,
# checking that nothing of it stays behind in /usr.
#   scripts/check-deb.sh [BUILD_DIR]        (default: build; run as root)
# It changes the system, so it is not part of the test suite. The screen with the started
# program is kept as BUILD_DIR/check-deb.png.
set -euo pipefail
build=$(realpath "${1:-build}")
display=:97
((EUID == 0)) || { echo "check-deb: run as root (it installs and removes a package)" >&2; exit 1; }
for tool in cpack dpkg-deb apt-get Xvfb xdotool lintian; do
  command -v "$tool" >/dev/null || { echo "check-deb: $tool missing" >&2; exit 1; }
done
if dpkg-query -W -f='${db:Status-Abbrev}' merrowby 2>/dev/null | grep -q '^ii'; then
  echo "check-deb: merrowby is installed already; remove it first (apt-get remove merrowby)" >&2
  exit 1
fi

tmp=$(mktemp -d)
xvfb_pid='' wm_pid='' app_pid=''
cleanup() {
  local pid
  for pid in "$app_pid" "$wm_pid" "$xvfb_pid"; do
    [[ -n $pid ]] && kill "$pid" 2>/dev/null || true
  done
  rm -rf "$tmp"
}
trap cleanup EXIT
step() { echo "== $*"; }
die() { echo "check-deb: FAIL: $*" >&2; exit 1; }

step "building the package in $build"
cmake --build "$build" -j2 >/dev/null
rm -f "$build"/merrowby_*.deb
(cd "$build" && cpack -G DEB >"$tmp/cpack.log") || { cat "$tmp/cpack.log" >&2; die "cpack failed"; }
debs=("$build"/merrowby_*.deb)
((${#debs[@]} == 1)) && [[ -f ${debs[0]} ]] || die "cpack made no merrowby_*.deb"
deb=${debs[0]}
echo "$(basename "$deb"): $(du -h "$deb" | cut -f1)"
dpkg-deb --field "$deb" Package Version Architecture Section Maintainer Depends Recommends

step "lintian $(basename "$deb")"
lint=0
lintian --fail-on error,warning "$deb" >"$tmp/lintian.log" 2>&1 || lint=$?
grep -v '^running with root privileges' "$tmp/lintian.log" || true
((lint == 0)) || die "lintian reports errors or warnings (exit status $lint)"
echo "lintian: no errors, no warnings"

# Whatever of that name is in /usr now (a build installed by hand, say) is not the package's.
find /usr -iname '*merrowby*' 2>/dev/null | sort >"$tmp/before"

step "apt-get install ./$(basename "$deb")"
(cd "$build" && DEBIAN_FRONTEND=noninteractive apt-get install -y -q "./$(basename "$deb")") \
  >"$tmp/apt.log" 2>&1 || { cat "$tmp/apt.log" >&2; die "apt-get install failed"; }
tail -n 3 "$tmp/apt.log"
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -e 's|^\./|/|' -e 's|/$||' | grep -v '^/\?$' >"$tmp/files"
while read -r f; do
  [[ -e $f ]] || die "$f is in the package but not installed"
done <"$tmp/files"
[[ $(command -v merrowby) == /usr/bin/merrowby ]] || die "merrowby on PATH is $(command -v merrowby)"

step "merrowby-admin init"
export HOME=$tmp/home XDG_RUNTIME_DIR=$tmp/runtime
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
QT_QPA_PLATFORM=offscreen /usr/bin/merrowby-admin init "$HOME/Merrowby"
QT_QPA_PLATFORM=offscreen /usr/bin/merrowby-admin check "$HOME/Merrowby"

step "starting the desktop entry's command on display $display"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >"$tmp/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
xdotool getdisplaygeometry >/dev/null 2>&1 || { cat "$tmp/xvfb.log" >&2; die "Xvfb did not start"; }
if command -v openbox >/dev/null; then
  openbox >"$tmp/wm.log" 2>&1 &
  wm_pid=$!
  sleep 1
fi
# The Exec value of the entry: unescape the string (\\ is \), then its quoting is the shell's.
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/merrowby.desktop)
exec_line=${exec_line//\\\\/\\}
echo "Exec: $exec_line"
eval "argv=($exec_line)"
(cd / && QT_QPA_PLATFORM=xcb exec "${argv[@]}") >"$tmp/app.log" 2>&1 &
app_pid=$!
# The caption "Merrowby <version> by ..." is set once start-up has opened the data folder.
window=''
for _ in $(seq 150); do
  window=$(xdotool search --onlyvisible --name '^Merrowby [0-9]' 2>/dev/null | head -n 1 || true)
  [[ -n $window ]] && break
  kill -0 "$app_pid" 2>/dev/null || { cat "$tmp/app.log" >&2; die "the program ended at start-up"; }
  sleep 0.2
done
[[ -n $window ]] || { cat "$tmp/app.log" >&2; die "no window named Merrowby* appeared"; }
echo "window $window: $(xdotool getwindowname "$window")"
sleep 1
if command -v import >/dev/null; then
  import -display "$display" -window root "$build/check-deb.png" && echo "screen: $build/check-deb.png"
fi

step "stopping the program"
# Closing the window through the window manager is what a user does; without one, a signal.
if [[ -n $wm_pid ]]; then
  xdotool windowactivate --sync "$window" key --clearmodifiers alt+F4 || true
fi
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app_pid" 2>/dev/null; then
  echo "not closed by its window; sending SIGTERM"
  kill "$app_pid"
fi
status=0
wait "$app_pid" || status=$?
app_pid=''
echo "program exit status $status"
QT_QPA_PLATFORM=offscreen /usr/bin/merrowby-admin check "$HOME/Merrowby" >/dev/null ||
  die "the data folder is damaged after the program ran"

step "apt-get remove merrowby"
DEBIAN_FRONTEND=noninteractive apt-get remove -y -q merrowby >"$tmp/apt.log" 2>&1 ||
  { cat "$tmp/apt.log" >&2; die "apt-get remove failed"; }
tail -n 1 "$tmp/apt.log"
left=0
while read -r f; do
  # Directories such as /usr/bin are shared; a file, or a directory of the package's own name,
  # must be gone.
  if [[ -e $f && ( ! -d $f || $f == *merrowby* ) ]]; then
    echo "left behind: $f" >&2
    left=1
  fi
done <"$tmp/files"
find /usr -iname '*merrowby*' 2>/dev/null | sort >"$tmp/after"
if ! diff -u "$tmp/before" "$tmp/after" >"$tmp/diff"; then
  sed -n 's/^+\//left behind: \//p' "$tmp/diff" >&2
  left=1
fi
((left == 0)) || die "files of the package are left in /usr"
dpkg-query -W -f='${db:Status-Abbrev}' merrowby 2>/dev/null | grep -q '^ii' && die "still installed"
echo "check-deb: OK"
