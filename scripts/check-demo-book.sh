#!/usr/bin/env bash
# Test: the demo book that run.sh makes is a sound data set. Contacts written straight into a
# fresh address table by gen_demo_book.py, indexed by the admin tool and given occasions
# must pass the admin tool's check and read back as written, in name order.
#   check-demo-book.sh MERROWBY_ADMIN
set -euo pipefail
admin=$1
gen="$(dirname "${BASH_SOURCE[0]}")/gen_demo_book.py"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The same seed gives the same contacts; another seed gives others.
cmp -s <(python3 "$gen" 30 --seed 7) <(python3 "$gen" 30 --seed 7) || fail "seed 7 differs between runs"
! cmp -s <(python3 "$gen" 30 --seed 7) <(python3 "$gen" 30 --seed 8) || fail "seeds 7 and 8 agree"

"$admin" init "$tmp/book" >/dev/null
python3 "$gen" --append "$tmp/book/AddrBook.dbf" 60 --seed 3 2>/dev/null
"$admin" reindex "$tmp/book" >/dev/null
python3 "$gen" --occasions "$tmp/book/AddrBook.dbf" --seed 3 2>/dev/null
"$admin" check "$tmp/book" >"$tmp/check.txt" || { cat "$tmp/check.txt" >&2; fail "check failed"; }

"$admin" dump "$tmp/book" AddrBook >"$tmp/dump.csv"
[[ $(($(wc -l <"$tmp/dump.csv") - 1)) == 60 ]] || fail "expected 60 rows, dump has $(wc -l <"$tmp/dump.csv")"

# Every generated contact is there with all twelve address fields, in name order.
python3 - "$tmp/dump.csv" <(python3 "$gen" 60 --seed 3) <<'PY'
import csv, sys
with open(sys.argv[1], newline="") as f:
    dumped = list(csv.reader(f))
header, rows = dumped[0], dumped[1:]
with open(sys.argv[2], newline="") as f:
    made = [r for r in csv.reader(f) if r]
got = sorted(tuple(r[:12]) for r in rows)
want = sorted(tuple(r) for r in made)
if got != want:
    missing = set(want) - set(got)
    sys.exit("FAIL: rows differ from the generated contacts, e.g. %s" % sorted(missing)[:1])
keys = [(r[1].upper(), r[0].upper()) for r in rows]
if keys != sorted(keys):
    sys.exit("FAIL: dump is not in last-name, first-name order")
col = {name.lower(): i for i, name in enumerate(header)}
flags = [r[col["christmas"]] for r in rows]
if set(flags) != {"T", "F"}:
    sys.exit("FAIL: occasions not given out (Christmas flags: %s)" % sorted(set(flags)))
if not all(len(r[col["birthdate"]]) == 8 for r in rows):
    sys.exit("FAIL: a demo contact has no birth date")
PY
echo "demo book OK"
