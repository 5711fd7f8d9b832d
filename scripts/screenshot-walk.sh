#!/usr/bin/env bash
# Walks every window and dialog of Merrowby under Xvfb with the openbox window manager and takes
# a screenshot of each, for looking at what a desktop user sees.
#
#   scripts/screenshot-walk.sh BUILD_DIR OUT_DIR [SCALE]
#
# SCALE is Qt's scale factor (1 for 96 dpi, 2 for a 2x screen). Needs xvfb, openbox, xdotool and
# ImageMagick's import. The walk uses a fresh demo data set of 40 names in a temporary folder.
# Clicks are given in the main window's own coordinates at 96 dpi and scaled here.
set -euo pipefail
build=$(realpath "$1")
out=$(realpath -m "$2")
scale=${3:-1}
mkdir -p "$out"
for tool in Xvfb openbox xdotool import; do
  command -v $tool >/dev/null || { echo "screenshot-walk: $tool is missing" >&2; exit 1; }
done

display=:${WALK_DISPLAY:-95}
width=$((1280 * scale)) height=$((1024 * scale))
source "$(dirname "$0")/virtual-desktop.sh"
start_desktop "$display" "$width" "$height"

"$build/tools/merrowby-admin" init "$tmp/data" >/dev/null
python3 "$(dirname "$0")/../../shared/tools/gen_addresses.py" 40 --seed 1 >"$tmp/book.csv" 2>/dev/null ||
  python3 "$(dirname "$0")/../bench/gen_addresses.py" 40 --seed 1 >"$tmp/book.csv"
"$build/tools/merrowby-admin" import "$tmp/data" "$tmp/book.csv" >/dev/null

(cd "$tmp/data" && QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale exec "$build/src/merrowby") >"$tmp/app.log" 2>&1 &
app=$!

n=0
shot() {  # shot NAME: the whole screen
  n=$((n + 1))
  sleep "${2:-1}"
  import -window root "$out/$(printf %02d "$n")-$1.png"
}
main=
click() {  # click X Y: at a point of the main window's client area, in 96-dpi pixels
  xdotool mousemove --window "$main" $(($1 * scale)) $(($2 * scale)) click 1
}
key() { xdotool key --clearmodifiers "$@"; }
close() { key Escape; sleep 0.7; }

sleep 0.6
shot splash 0
for _ in $(seq 40); do  # until the start-up box has gone and the main window shows
  main=$(xdotool search --onlyvisible --name '^Merrowby .* by ' 2>/dev/null | head -1 || true)
  about=$(xdotool search --onlyvisible --name '^About ' 2>/dev/null | head -1 || true)
  [[ -n $main && -z $about ]] && break
  sleep 0.25
done
[[ -n $main ]] || { echo "screenshot-walk: the main window did not appear" >&2; exit 1; }
xdotool windowactivate --sync "$main" 2>/dev/null || true

# The page control's tabs and the top-left corner of a page, in the window's client area.
tab_address=(115 79) tab_labels=(267 79) tab_setup=(460 79)
page_x=29 page_y=94
row() {  # row N: the N-th occasion (1 = first below the title) of the occasions list
  click $((page_x + 462)) $((page_y + 107 + 25 * $1))
}

shot address-page
click "${tab_labels[@]}"
shot labels-page
row 1; shot print-labels; close
row 8; shot date-span; key Tab Tab Tab space; sleep 0.7
row 9; shot selected-labels; close
key alt+r; shot reminders-mode
row 1; shot reminder-report 2
report=$(xdotool search --onlyvisible --name 'Reminders' 2>/dev/null | grep -vx "$main" | head -1 || true)
[[ -n $report ]] && { xdotool windowactivate --sync "$report" 2>/dev/null || true; key alt+F4; sleep 0.7; }
xdotool windowactivate --sync "$main" 2>/dev/null || true
key alt+l
click "${tab_setup[@]}"
shot setup-page
key alt+b; shot backup; close; close
key alt+r; shot restore; close; close
key alt+i; shot import-format; close
key alt+e; shot label-stocks; close; close
key alt+c; shot font-dialog; close
key alt+x; shot export-contacts; close
key alt+h; sleep 0.4; key Up Return; shot about; key Return
click "${tab_address[@]}"
shot address-page-again
echo "screenshot-walk: $n pictures in $out"
