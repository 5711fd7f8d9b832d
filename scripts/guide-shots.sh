#!/usr/bin/env bash
# Takes the pictures of the user guide (docs/guide/*.png) from the real program: a December run
# from import to marked-sent, the card log, a catalogue sheet, a printer calibration and the
# calendar export, on a fresh demo data set under Xvfb with openbox at 96 dpi.
#
#   scripts/guide-shots.sh BUILD_DIR [OUT_DIR]      (OUT_DIR defaults to docs/guide)
#
# Needs xvfb, openbox, xdotool, ImageMagick, the glabels-data catalogue and a default printer
# (test.sh sets up the cups-pdf queue VirtualPDF; the run prints one page of labels to it).
# Each picture is one window with its frame, stripped and cut to 256 colours. Look at every
# picture before committing it: a window that opened late shows up as the wrong one.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "$1")
out=$(realpath -m "${2:-$here/../docs/guide}")
mkdir -p "$out"
for tool in Xvfb openbox xdotool import convert xprop xwininfo; do
  command -v $tool >/dev/null || { echo "guide-shots: $tool is missing" >&2; exit 1; }
done

display=:${SHOTS_DISPLAY:-96}
source "$here/virtual-desktop.sh"
start_desktop "$display" 1280 1024

# 40 people with holidays and dates, and a Google Contacts file of six more, one of whom is in
# the book already.
admin=$build/tools/merrowby-admin
"$admin" init "$tmp/data" >/dev/null
python3 "$here/gen_demo_book.py" 40 --seed 1 >"$tmp/book.csv"
"$admin" import "$tmp/data" "$tmp/book.csv" >/dev/null 2>&1
python3 "$here/gen_demo_book.py" --occasions "$tmp/data/AddrBook.dbf" --seed 1 >/dev/null
contacts=$tmp/contacts.csv
cat >"$contacts" <<'EOF'
First Name,Middle Name,Last Name,Birthday,E-mail 1 - Label,E-mail 1 - Value,Phone 1 - Label,Phone 1 - Value,Address 1 - Label,Address 1 - Street,Address 1 - City,Address 1 - Region,Address 1 - Postal Code,Address 1 - Country
Daisy,,Pemer,,* Home,daisy.pemer@example.net,Home,(913) 555-7297,Home,259 Juniper Road,Pinecrest,FL,28520,
Marion,,Quillfeather,1958-03-14,* Home,marion.q@example.org,Mobile,(415) 555-0142,Home,77 Harbour View,Sausalito,CA,94965,
Tobias,J,Wrenfield,1971-11-02,* Home,tobias@example.com,Home,(617) 555-0190,Home,12 Linden Lane,Cambridge,MA,02138,
Greta,,Ollander,,* Work,greta.ollander@example.de,Work,+49 30 5550123,Home,Lindenstr. 8,Berlin,,10969,Germany
Patrick,,Dunmoreby,1966-07-21,* Home,pdunmoreby@example.ie,Home,(312) 555-0177,Home,401 Elm Street,Evanston,IL,60201,
Rosa,,Fairwick,,* Home,rosa.fairwick@example.net,Home,(503) 555-0166,Home,9 Birch Court,Portland,OR,97205,
EOF

(cd "$tmp/data" && QT_QPA_PLATFORM=xcb exec "$build/src/merrowby") >"$tmp/app.log" 2>&1 &
app=$!

key() { xdotool key --clearmodifiers "$@"; sleep 0.4; }
type() { xdotool type --delay 30 "$1"; sleep 0.4; }
window() {  # window TITLE: the id of the visible window of that exact title, waiting for it
  local id
  for _ in $(seq 40); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -1 || true)
    [[ -n $id ]] && { echo "$id"; return; }
    sleep 0.25
  done
  echo "guide-shots: no window \"$1\"" >&2
  exit 1
}
click() {  # click TITLE X Y: at a point of that window's client area
  xdotool mousemove --window "$(window "$1")" "$2" "$3" click 1
  sleep 0.7
}
small() { convert "$1" -strip +dither -colors 256 "PNG8:$out/$2.png"; rm -f "$1"; }
shot() {  # shot TITLE NAME: that window with its frame
  sleep 0.8
  import -window "$(window "$1")" -frame "$tmp/shot.png"
  small "$tmp/shot.png" "$2"
}
shot_with_popup() {  # shot_with_popup TITLE NAME: the window's place on the screen, popups included
  sleep 0.8
  local id x y w h l r t b
  id=$(window "$1")
  read -r x y w h < <(xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
                                              /^ *Width/ {w=$NF} /^ *Height/ {h=$NF} END {print x, y, w, h}')
  read -r l r t b < <(xprop -id "$id" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
  import -window root -crop "$((w + l + r))x$((h + t + b))+$((x - l))+$((y - t))" "$tmp/shot.png"
  small "$tmp/shot.png" "$2"
}

main='Merrowby .* by Brantix'
window "$main" >/dev/null
for _ in $(seq 40); do  # until the start-up box has gone
  [[ -z $(xdotool search --onlyvisible --name '^About ' 2>/dev/null || true) ]] && break
  sleep 0.25
done
xdotool windowactivate --sync "$(window "$main")"
tab() { case $1 in address) click "$main" 115 79 ;; labels) click "$main" 267 79 ;; setup) click "$main" 460 79 ;; esac; }
seek() { click "$main" 200 467; key ctrl+a; type "$1"; }

# The Setup page with Export Calendar, and the status bar's "Coming up" line (it shows only when
# the book has a date in the next 14 days); Import Contacts, and what Detect finds in the Google
# file.
tab setup
shot "$main" setup-page
import -window "$(window "$main")" -frame "$tmp/main.png"
convert "$tmp/main.png" -gravity South -crop 802x60+0+0 +repage "$tmp/shot.png"
small "$tmp/shot.png" coming-up-line
key alt+l
shot 'Export Calendar' export-calendar
key Escape
key alt+i
shot 'Import Format' import-format
click 'Import Format' 364 330  # Detect...
window Open >/dev/null
type "$contacts"
key Return
shot 'Detected Contacts' detected-contacts
key Return            # Import
window Merrowby >/dev/null
key Return            # the summary
xdotool windowactivate --sync "$(window 'Import Format')"
key Escape

# Christmas for one of the new names.
tab address
seek quill
click "$main" 677 441  # Christmas/Chanukah
key Tab

# Christmas labels on a US Letter sheet of 30: the preview, printing, the question after it.
tab labels
click "$main" 491 376  # Christmas / Chanukah
window 'Print Labels' >/dev/null
click 'Print Labels' 180 58  # the stock box, then its fourth stock
key Down Down Down
key alt+v
xdotool windowsize "$(window 'Label Preview')" 560 660
shot 'Label Preview' preview
key alt+r
shot Merrowby mark-sent
key alt+y
# Again: the dialog now offers the rest of that sheet.
click "$main" 491 376
window 'Print Labels' >/dev/null
key alt+u
shot 'Print Labels' print-labels
key Escape

# The card log: a card received from her too, and the report choices of reminders mode.
tab address
seek quill
click "$main" 92 514   # Add Card...
shot 'Add a Card' add-card
key Return
seek quill
shot "$main" address-book
tab labels
key alt+r
click "$main" 180 378  # the report choice
shot_with_popup "$main" reminders
key Escape
key alt+l

# A sheet from the catalogue, and the stock it makes.
tab setup
key alt+e
window PickLab >/dev/null
key alt+c
window 'Label Catalogue' >/dev/null
type 'avery 5160'
xdotool windowsize "$(window 'Label Catalogue')" 760 250
shot 'Label Catalogue' catalogue
key Return            # Add Stock
window PickLab >/dev/null
key Return            # Select
shot 'Label Definition' label-definition
key Escape
key Escape

# A calibration worked out from four measurements.
xdotool windowactivate --sync "$(window "$main")"
key alt+p
window 'Calibrate Printer' >/dev/null
key alt+l
for v in 26.0 24.5 186.0 254.5; do key ctrl+a; type $v; key Tab; done
key alt+w
key alt+s
shot 'Calibrate Printer' calibrate
key Escape

echo "guide-shots: pictures in $out"
ls -l "$out"
