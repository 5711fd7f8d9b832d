#!/usr/bin/env bash
# What a user waits for on books of 1,000, 100,000 and 1,000,000 names, measured for two builds
# side by side: each figure is taken RUNS times, the two builds alternating (before, after, then
# after, before, ...), and the medians are printed as a table at the end.
#
#   bench/million.sh BEFORE_BUILD AFTER_BUILD
#
# The builds are build folders (Release: cmake -DCMAKE_BUILD_TYPE=Release), each with
# tools/merrowby-admin and src/merrowby built. Environment:
#   RUNS   runs of each figure per build (3)
#   SIZES  book sizes ("1000 100000 1000000")
#   BOOKS  where the books and the raw figures go (/tmp/merrowby-million); a book is made once,
#          with the after build's admin tool: init, bench/make_book.py, reindex
#   ROWS   which figures ("check count export labels gui import"; "address" is not in the default):
#          check   merrowby-admin check DIR
#          count   the label run's count in process (bench/million_count.cpp, compiled here
#                  against each build's core library), occasion 7
#          export  merrowby-admin export DIR --format vcard FILE
#          labels  merrowby-admin labels DIR --occasion 7 --start 1,1 --pdf FILE
#          gui     the program on a virtual screen (Xvfb, openbox), timed with bench/xprobe.c
#                  from the click until its event loop answers: start-up (CPU time, user +
#                  system, when it first answers), Christmas in labels mode until the print
#                  options answer, Preview until its first page is drawn, Christmas in reminders
#                  mode until the report viewer answers, closing it, the Address Book tab;
#                  the program's peak memory (VmHWM) after the walk
#          address the program on a virtual screen, the Address Book tab clicked from the
#                  Labels & Reminders page until it answers, and nothing else (the walk of `gui`
#                  without its other steps)
#          import  merrowby-admin import --detect of a 100,000-line CSV file with a header row
#                  (and the stored-layout import of the same file), into an empty folder
#   SHOTS  a folder: also takes screenshots of the after build at the largest size (the busy
#          cursor after a click on Christmas, the preview's first page)
# Every figure gives wall seconds and the process's peak resident memory (MB); the admin
# commands also their CPU seconds. Raw figures: $BOOKS/figures-*.tsv.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[[ $# -eq 2 ]] || { sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 2; }
builds=(before after)
declare -A dir=([before]=$(realpath "$1") [after]=$(realpath "$2"))
runs=${RUNS:-3}
sizes=${SIZES:-1000 100000 1000000}
books=${BOOKS:-/tmp/merrowby-million}
rows=${ROWS:-check count export labels gui import}
shots=${SHOTS:-}
mkdir -p "$books"
books=$(realpath "$books")
figures=$books/figures-$(date +%Y%m%d-%H%M%S).tsv
for b in "${builds[@]}"; do
  for f in tools/merrowby-admin src/merrowby; do
    [[ -x ${dir[$b]}/$f ]] || { echo "million: ${dir[$b]}/$f is missing" >&2; exit 1; }
  done
done
want() { [[ " $rows " == *" $1 "* ]]; }

# --- books --------------------------------------------------------------------------------------
make_book() {  # make_book N: $books/book-N
  local n=$1 b=$books/book-$1
  [[ -f $b/Address.ntx && -f $b/.made ]] && return
  rm -rf "$b"
  "${dir[after]}/tools/merrowby-admin" init "$b" >/dev/null
  python3 "$here/make_book.py" "$b/AddrBook.dbf" "$n"
  "${dir[after]}/tools/merrowby-admin" reindex "$b" >/dev/null
  rm -f "$b/.merrowby.lock"
  touch "$b/.made"
}
for n in $sizes; do make_book "$n"; done

# --- recording ----------------------------------------------------------------------------------
# record ROW SIZE BUILD SECONDS PEAK_MB [CPU_SECONDS] [NOTE]
record() { printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$4" "$5" "${6:--}" "${7:-}" >>"$figures"; }
# The order of the two builds in run r: before first in odd runs, after first in even ones.
order() { if (($1 % 2)); then echo before after; else echo after before; fi; }

timed() {  # timed ROW SIZE BUILD COMMAND...: wall, CPU and peak memory of one command
  local row=$1 n=$2 b=$3 t
  shift 3
  t=$(mktemp)
  if ! /usr/bin/time -f '%e %U %S %M' -o "$t" "$@" >/dev/null 2>"$t.err"; then
    echo "million: $row $n $b failed: $(tail -2 "$t.err")" >&2
  fi
  read -r wall user sys rss <"$t"
  record "$row" "$n" "$b" "$wall" "$(awk "BEGIN{printf \"%.1f\", $rss/1024}")" \
    "$(awk "BEGIN{printf \"%.2f\", $user+$sys}")"
  rm -f "$t" "$t.err"
}

# --- headless figures ---------------------------------------------------------------------------
if want count; then
  for b in "${builds[@]}"; do
    src=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "${dir[$b]}/CMakeCache.txt")
    g++ -O2 -std=c++20 -fPIC "$here/million_count.cpp" -I"$src/src" -o "$books/million_count-$b" \
      "${dir[$b]}/src/core/libmerrowby_core.a" "${dir[$b]}/src/xbase/libxbase.a" \
      $(pkg-config --cflags --libs Qt6Core Qt6Gui)
  done
fi
scratch=$books/scratch
mkdir -p "$scratch"
for n in $sizes; do
  book=$books/book-$n
  for ((r = 1; r <= runs; r++)); do
    for b in $(order $r); do
      admin=${dir[$b]}/tools/merrowby-admin
      want check && timed check "$n" "$b" "$admin" check "$book"
      if want count; then
        t=$(mktemp)
        /usr/bin/time -f '%M' -o "$t" "$books/million_count-$b" "$book" 7 1 >"$t.out"
        read -r labels secs <"$t.out"
        record count "$n" "$b" "$secs" "$(awk "BEGIN{printf \"%.1f\", $(cat "$t")/1024}")" - "$labels labels"
        rm -f "$t" "$t.out"
      fi
      want export && timed export "$n" "$b" "$admin" export "$book" --format vcard "$scratch/book.vcf"
      if want labels; then
        timed labels "$n" "$b" "$admin" labels "$book" --occasion 7 --start 1,1 --pdf "$scratch/labels.pdf"
        sed -i "\$s/\$/$(du -m "$scratch/labels.pdf" | cut -f1) MB PDF/" "$figures"
      fi
      rm -f "$scratch/book.vcf" "$scratch/labels.pdf"
    done
  done
done

if want import; then
  python3 "$here/gen_addresses.py" 100000 --header >"$scratch/import.csv"
  for ((r = 1; r <= runs; r++)); do
    for b in $(order $r); do
      admin=${dir[$b]}/tools/merrowby-admin
      for how in detect layout; do
        rm -rf "$scratch/import"
        "$admin" init "$scratch/import" >/dev/null
        if [[ $how == detect ]]; then
          timed import-detect 100000 "$b" "$admin" import "$scratch/import" "$scratch/import.csv" --detect
        else
          timed import-layout 100000 "$b" "$admin" import "$scratch/import" "$scratch/import.csv"
        fi
      done
    done
  done
  rm -rf "$scratch/import" "$scratch/import.csv"
fi

# --- the program on a virtual screen ------------------------------------------------------------
if want gui || want address || [[ -n $shots ]]; then
  xprobe=$books/xprobe
  cc -O2 -o "$xprobe" "$here/xprobe.c" -lX11 -lXtst -lXdamage -lXfixes
  source "$here/../scripts/virtual-desktop.sh"
  start_desktop ":${MILLION_DISPLAY:-$((40 + RANDOM % 50))}" 1280 1024
  field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<" $2"; }
  peak_mb() { awk '/VmHWM/ {printf "%.1f", $2 / 1024}' "/proc/$app/status"; }
  cpu_s() { awk -v hz="$(getconf CLK_TCK)" '{printf "%.2f", ($14 + $15) / hz}' "/proc/$app/stat"; }

  # Starts build $1 on book $2 and waits until the main window answers; sets $main.
  start_program() {
    local t0 t1 line
    rm -f "$2/.merrowby.lock"
    t0=$(date +%s.%N)
    (cd "$2" && QT_QPA_PLATFORM=xcb exec "${dir[$1]}/src/merrowby") >"$tmp/app.log" 2>&1 &
    app=$!
    main=
    for _ in $(seq 3000); do
      main=$(xdotool search --onlyvisible --name ' by Brantix$' 2>/dev/null | head -1 || true)
      [[ -n $main ]] && ! xdotool search --onlyvisible --name '^About' >/dev/null 2>&1 && break
      main=
      sleep 0.02
    done
    if [[ -z $main ]]; then
      echo "million: the main window of $1 did not appear; its output:" >&2
      cat "$tmp/app.log" >&2
      xdotool search --onlyvisible --name . getwindowname %@ >&2 2>/dev/null || true
      exit 1
    fi
    line=$("$xprobe" --none --answer "$main" --timeout 120)
    t1=$(date +%s.%N)
    startup_wall=$(awk "BEGIN{printf \"%.3f\", $t1 - $t0 - 0.03}")
  }
  stop_program() {
    xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
    xdotool key --window "$main" alt+F4 >/dev/null 2>&1 || true
    for _ in $(seq 600); do kill -0 "$app" 2>/dev/null || break; sleep 0.05; done
    kill "$app" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
    app=
  }
  # Coordinates in the main window (as scripts/screenshot-walk.sh has them).
  tab_address=(115 79) tab_labels=(267 79) christmas=(491 376)

  walk() {  # walk BUILD SIZE: one session, its figures recorded
    local b=$1 n=$2 line
    start_program "$b" "$books/book-$n"
    record startup-cpu "$n" "$b" "$startup_wall" "$(peak_mb)" "$(cpu_s)"
    "$xprobe" --in "$main" --click "${tab_labels[@]}" --answer "$main" >/dev/null
    line=$("$xprobe" --in "$main" --click "${christmas[@]}" --window 'Print Labels' --timeout 300)
    record click-occasion "$n" "$b" "$(field answered "$line")" "$(peak_mb)" - \
      "mapped $(field mapped "$line"), cursor $(field cursor_changed "$line")"
    # A key pressed while the print options are still settling can go astray: pressed again.
    for try in 1 2 3; do
      xdotool search --onlyvisible --name 'Print Labels' windowactivate --sync >/dev/null 2>&1 || true
      line=$("$xprobe" --key alt+v --window 'Label Preview' --timeout 30) && break
    done
    record preview-page1 "$n" "$b" "$(field painted "$line")" "$(peak_mb)" - \
      "mapped $(field mapped "$line"), answered $(field answered "$line"), cursor $(field cursor_changed "$line")"
    # Escape until the preview and the print options are gone: where the preview counts its
    # pages under a progress window, an Escape that reaches that window cancels the count.
    for try in 1 2 3 4; do
      xdotool search --onlyvisible --name '^(Label Preview|Print Labels)$' >/dev/null 2>&1 || break
      "$xprobe" --key Escape --answer "$main" --timeout 300 >/dev/null
    done
    "$xprobe" --key alt+r --answer "$main" >/dev/null
    line=$("$xprobe" --in "$main" --click "${christmas[@]}" --window 'REReport' --timeout 300)
    record reminders "$n" "$b" "$(field answered "$line")" "$(peak_mb)" - \
      "mapped $(field mapped "$line"), painted $(field painted "$line"), cursor $(field cursor_changed "$line")"
    line=$("$xprobe" --key alt+F4 --answer "$main" --timeout 300)
    record close-report "$n" "$b" "$(field answered "$line")" "$(peak_mb)"
    "$xprobe" --key alt+l --answer "$main" >/dev/null
    line=$("$xprobe" --in "$main" --click "${tab_address[@]}" --answer "$main" --timeout 300)
    record address-page "$n" "$b" "$(field answered "$line")" "$(peak_mb)" - \
      "cursor $(field cursor_changed "$line")"
    record gui-peak "$n" "$b" - "$(peak_mb)" "$(cpu_s)"
    stop_program
  }

  back_to_address() {  # back_to_address BUILD SIZE: the Address Book tab alone
    local b=$1 n=$2 line
    start_program "$b" "$books/book-$n"
    "$xprobe" --in "$main" --click "${tab_labels[@]}" --answer "$main" >/dev/null
    line=$("$xprobe" --in "$main" --click "${tab_address[@]}" --answer "$main" --timeout 300)
    record address-page "$n" "$b" "$(field answered "$line")" "$(peak_mb)" - \
      "cursor $(field cursor_changed "$line")"
    stop_program
  }
  each_run() {  # each_run SESSION: SESSION BUILD SIZE for every size and run, the builds alternating
    for n in $sizes; do
      for ((r = 1; r <= runs; r++)); do
        for b in $(order $r); do "$1" "$b" "$n"; done
      done
    done
  }
  if want address; then each_run back_to_address; fi
  if want gui; then each_run walk; fi

  if [[ -n $shots ]]; then
    mkdir -p "$shots"
    n=${sizes##* }
    start_program after "$books/book-$n"
    xdotool mousemove --window "$main" "${tab_labels[@]}" click 1
    sleep 1
    xdotool mousemove --window "$main" "${christmas[@]}" click 1
    sleep 0.3
    scrot -p -o "$shots/busy-cursor-$n.png"
    "$xprobe" --none --window 'Print Labels' --timeout 300 >/dev/null || true
    "$xprobe" --key alt+v --window 'Label Preview' --timeout 300 >/dev/null || true
    sleep 0.2
    scrot -p -o "$shots/preview-page1-$n.png"
    sleep 3
    scrot -p -o "$shots/preview-counted-$n.png"
    stop_program
  fi
fi

# --- the table ----------------------------------------------------------------------------------
python3 - "$figures" <<'PY'
import collections, statistics, sys
rows = collections.OrderedDict()
for line in open(sys.argv[1]):
    row, n, b, secs, peak, cpu, note = line.rstrip("\n").split("\t")
    r = rows.setdefault((row, int(n)), {"before": [], "after": [], "notes": {}})
    r[b].append((secs, peak, cpu))
    if note:
        r["notes"].setdefault(b, []).append(note)

def med(values):
    v = [float(x) for x in values if x not in ("-", "", "none", "timeout")]
    return statistics.median(v) if v else None

def fmt(x, unit=""):
    return "-" if x is None else ("%.3f" % x if x < 10 else "%.1f" % x) + unit

print("| figure | names | before s | after s | before CPU s | after CPU s | before peak MB | after peak MB | runs |")
print("|---|---|---|---|---|---|---|---|---|")
for (row, n), r in rows.items():
    b, a = r["before"], r["after"]
    print("| %s | %d | %s | %s | %s | %s | %s | %s | %d+%d |" % (
        row, n, fmt(med(x[0] for x in b)), fmt(med(x[0] for x in a)),
        fmt(med(x[2] for x in b)), fmt(med(x[2] for x in a)),
        fmt(med(x[1] for x in b)), fmt(med(x[1] for x in a)), len(b), len(a)))
print()
for (row, n), r in rows.items():
    for b in ("before", "after"):
        if b in r["notes"]:
            print("%s %d %s: %s" % (row, n, b, "; ".join(r["notes"][b])))
PY
echo "raw figures: $figures"
