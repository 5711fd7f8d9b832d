# Sourced by the scripts that look at the windows: a virtual screen at 96 dpi with the openbox
# window manager, and a temporary folder $tmp. Everything is stopped and removed on exit, the
# program too when its process id is in $app.
#
#   start_desktop :N WIDTH HEIGHT [MKTEMP_TEMPLATE]

stop_desktop() {
  [[ -n ${app:-} ]] && kill "$app" 2>/dev/null || true
  [[ -n ${wm:-} ]] && kill "$wm" 2>/dev/null || true
  [[ -n ${xvfb:-} ]] && kill "$xvfb" 2>/dev/null || true
  [[ -n ${tmp:-} ]] && rm -rf "$tmp"
}

start_desktop() {
  tmp=$(mktemp -d ${4:+"$4"})
  trap stop_desktop EXIT
  Xvfb "$1" -screen 0 "${2}x${3}x24" -dpi 96 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=$1
  sleep 1
  openbox >/dev/null 2>&1 &
  wm=$!
  sleep 1
}
