#!/usr/bin/env python3
"""Fills the address table of a fresh data folder with the generated book, for the figures.

usage: bench/make_book.py DIR/AddrBook.dbf N [--seed S]

Appends the first N rows of gen_addresses.py (seed 1 unless given) to the table, every one of
its 27 columns (names, addresses, the four dates and the eleven flags, about half of them set),
so that runs select and print as they would on a real book. The table is rewritten through a
temporary file; its index is then stale: rebuild it (merrowby-admin reindex DIR).
"""
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "scripts"))

import gen_addresses  # noqa: E402  (the rows)
import gen_demo_book  # noqa: E402  (reading and replacing a table)

COLUMNS = gen_addresses.HEADER.upper().split(",")


def main(argv):
    if len(argv) not in (2, 4) or not argv[1].isdigit():
        sys.exit(__doc__)
    path, n = argv[0], int(argv[1])
    seed = int(argv[3]) if len(argv) == 4 and argv[2] == "--seed" else 1
    data, count, header_len, record_len, fields = gen_demo_book.read_table(path)
    slots = []
    for name in COLUMNS:
        if name not in fields:
            sys.exit("%s: no column %s" % (path, name))
        _, off, length = fields[name]
        slots.append((off, length))
    blank = bytearray(b" " * record_len)
    g = gen_addresses.Gen(seed)
    rows = bytearray()
    for _ in range(n):
        rec = bytearray(blank)
        for (off, length), value in zip(slots, g.row()):
            rec[off:off + length] = value.encode("cp1252").ljust(length)[:length]
        rows += rec
    body = data[:header_len + count * record_len]
    body[4:8] = (count + n).to_bytes(4, "little")
    today = time.localtime()
    body[1:4] = bytes([today.tm_year - 1900, today.tm_mon, today.tm_mday])
    gen_demo_book.replace_file(path, body + rows + b"\x1a")


if __name__ == "__main__":
    main(sys.argv[1:])
