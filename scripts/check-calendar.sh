#!/usr/bin/env bash
# Test: the calendar file of the 200-person demo book that run.sh makes is read by other programs
# as it is meant. Python's icalendar reads it without a fault; khal imports it into a new
# calendar without a word on standard error, a second import of it updates the same events
# instead of adding others, and the days khal finds by the file's rules over the next year are
# the days `merrowby-admin upcoming` lists.
#   check-calendar.sh MERROWBY_ADMIN
# Exit status 77 (skipped) without Debian's python3-icalendar or khal.
set -euo pipefail
admin=$1
gen="$(dirname "${BASH_SOURCE[0]}")/gen_demo_book.py"
fail() { echo "FAIL: $*" >&2; exit 1; }

python=
for p in python3 /usr/bin/python3; do
  if "$p" -c 'import icalendar' 2>/dev/null; then python=$p; break; fi
done
[[ -n $python ]] || { echo "SKIP: no python3 with icalendar (Debian package python3-icalendar)"; exit 77; }
command -v khal >/dev/null || { echo "SKIP: no khal (Debian package khal)"; exit 77; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export LC_ALL=C.UTF-8 HOME=$tmp

"$admin" init "$tmp/book" >/dev/null
"$python" "$gen" 200 --seed 1 >"$tmp/book.csv"
"$admin" import "$tmp/book" "$tmp/book.csv" >/dev/null 2>&1
"$python" "$gen" --occasions "$tmp/book/AddrBook.dbf" --seed 1 >/dev/null 2>&1
said=$("$admin" calendar "$tmp/book" --ics "$tmp/book.ics") || fail "calendar: $said"
echo "$said"
events=${said%% *}

echo "== python3-icalendar"
"$python" - "$tmp/book.ics" "$events" <<'PY'
import sys, icalendar
cal = icalendar.Calendar.from_ical(open(sys.argv[1], "rb").read())
faults = [(c.name, e) for c in cal.walk() for e in getattr(c, "errors", [])]
if faults:
    sys.exit("FAIL: icalendar found faults: %s" % faults[:3])
events = cal.walk("VEVENT")
if len(events) != int(sys.argv[2]):
    sys.exit("FAIL: %d events read, the tool said %s" % (len(events), sys.argv[2]))
uids = {str(e["UID"]) for e in events}
if len(uids) != len(events):
    sys.exit("FAIL: %d UIDs for %d events" % (len(uids), len(events)))
for e in events:
    for p in ("UID", "DTSTAMP", "DTSTART", "SUMMARY", "TRANSP"):
        if p not in e:
            sys.exit("FAIL: %s has no %s" % (e.get("SUMMARY"), p))
    alarms = e.walk("VALARM")
    if len(alarms) != 1 or alarms[0]["TRIGGER"].dt.total_seconds() > 0:
        sys.exit("FAIL: %s has no alarm before the day" % e["SUMMARY"])
kinds = sorted({str(e["SUMMARY"]).split(":")[0] for e in events})
print("%d events, %d UIDs, each with its alarm: %s" % (len(events), len(uids), ", ".join(kinds)))
PY

echo "== khal"
mkdir -p "$tmp/khal/merrowby"
cat >"$tmp/khal/config" <<EOF
[calendars]
[[merrowby]]
path = $tmp/khal/merrowby
type = calendar
[locale]
timeformat = %H:%M
dateformat = %Y-%m-%d
longdateformat = %Y-%m-%d
datetimeformat = %Y-%m-%d %H:%M
longdatetimeformat = %Y-%m-%d %H:%M
[sqlite]
path = $tmp/khal/khal.db
EOF
khal=(khal -c "$tmp/khal/config")
for pass in 1 2; do
  "${khal[@]}" import --batch -a merrowby "$tmp/book.ics" >"$tmp/khal.out" 2>&1 ||
    { cat "$tmp/khal.out" >&2; fail "khal import (pass $pass) failed"; }
  [[ ! -s $tmp/khal.out ]] || { cat "$tmp/khal.out" >&2; fail "khal import (pass $pass) said something"; }
  stored=$(find "$tmp/khal/merrowby" -name '*.ics' | wc -l)
  [[ $stored == "$events" ]] || fail "khal holds $stored events after import $pass, not $events"
  echo "import $pass: no warnings, $stored events in the calendar"
done

# The days of the next 364 days: khal's from the file's rules against the tool's own list.
today=$(date +%F)
"${khal[@]}" list --format "{start-date}|{title}" --day-format "" "$today" 365d >"$tmp/khal.days"
"$admin" upcoming "$tmp/book" --days 364 >"$tmp/upcoming.txt"
"$python" - "$tmp/khal.days" "$tmp/upcoming.txt" "$today" <<'PY'
import datetime, sys
today = datetime.date.fromisoformat(sys.argv[3])
last = today + datetime.timedelta(days=364)
khal = set()
for line in open(sys.argv[1]):
    day, _, title = line.rstrip("\n").partition("|")
    if day and datetime.date.fromisoformat(day) <= last:
        khal.add((day, title))
ours = set()
for line in open(sys.argv[2]):
    when, what, rest = line.rstrip("\n").split("  ", 2)
    weekday, d, month = when.split()
    for year in (today.year, today.year + 1):
        day = datetime.datetime.strptime("%s %s %d" % (d, month, year), "%d %b %Y").date()
        if today <= day <= last:
            break
    if " cards: " in rest:  # "Christmas  Christmas / Chanukah cards: 90 to send"
        two = (day.isoformat(), "%s (%s)" % (rest, what))
        ours.add(two if two in khal else (day.isoformat(), rest))
    else:  # "Birthday  Ann Lee (40)"
        name = rest.rsplit(" (", 1)[0] if rest.endswith(")") else rest
        ours.add((day.isoformat(), "%s: %s" % (what, name)))
if khal != ours:
    sys.exit("FAIL: khal and upcoming differ: khal only %s; upcoming only %s"
             % (sorted(khal - ours)[:3], sorted(ours - khal)[:3]))
print("khal's days of the next 364 days are upcoming's: %d dates" % len(ours))
PY
echo "calendar file OK"
