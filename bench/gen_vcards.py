#!/usr/bin/env python3
"""Writes a reproducible vCard 4.0 file of about SIZE megabytes, for memory and load figures of
the contact import: cards as the program's own export writes them, from the rows of
gen_addresses.py (seed 1, repeated with a running number in the last name once they run out).

usage: gen_vcards.py SIZE_MB > contacts.vcf
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from gen_addresses import Gen  # noqa: E402


def card(r, n):
    first, last = r[0], "%s%d" % (r[1], n)
    lines = ["BEGIN:VCARD", "VERSION:4.0", "FN:%s %s" % (first, last), "N:%s;%s;;;" % (last, first),
             "ADR;TYPE=home:;%s;%s;%s;%s;%s;%s" % (r[3], r[2], r[4], r[5], r[6], r[7]),
             "EMAIL:%s" % r[8], 'TEL;TYPE="home,voice":%s' % r[9]]
    if r[10]:
        lines.append("TEL;TYPE=fax:%s" % r[10])
    lines.append("TEL;TYPE=cell:%s" % r[11])
    lines.append("BDAY:%s" % r[12])
    lines.append("ANNIVERSARY:%s" % r[13])
    lines.append("END:VCARD")
    return "\r\n".join(lines) + "\r\n"


def main(argv):
    if len(argv) != 1 or not argv[0].isdigit():
        sys.exit(__doc__)
    want = int(argv[0]) << 20
    gen = Gen(1)
    out = sys.stdout
    written, n = 0, 0
    while written < want:
        n += 1
        c = card(gen.row(), n)
        out.write(c)
        written += len(c)


if __name__ == "__main__":
    main(sys.argv[1:])
