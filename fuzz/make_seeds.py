#!/usr/bin/env python3
"""Seeds for the fuzz targets, from the files the test suite keeps in tests/fixtures.

    fuzz/make_seeds.py TARGET CORPUS_DIR

Whole and broken tables and indexes are used as they are (fuzz_table, fuzz_index) or behind the
operations a target reads (fuzz_indexwrite). For the data-folder target the damage of each
broken fixture (the bytes in which it differs from the good pair) is laid over the program's own
files, followed by the program's sequence of steps. Existing seeds are kept.
"""
import os
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
FIX = os.path.join(ROOT, "tests", "fixtures")


def fixtures(kind, ext):
    d = os.path.join(FIX, kind)
    return sorted(os.path.join(d, f) for f in os.listdir(d) if f.endswith(ext))


def read(path):
    with open(path, "rb") as f:
        return f.read()


def diff_patches(good, bad, file_id, most=6):
    """Patches (file, offset, length, bytes) turning `good` into `bad`; None when too many."""
    runs, i, n = [], 0, min(len(good), len(bad))
    while i < n:
        if good[i] == bad[i]:
            i += 1
            continue
        j = i
        while j < n and (good[j] != bad[j] or (j + 8 < n and good[j:j + 8] != bad[j:j + 8])):
            j += 1
        while i < j:
            k = min(j, i + 250)
            runs.append((i, bad[i:k]))
            i = k
    out = b""
    for off, chunk in runs:
        out += bytes([file_id]) + off.to_bytes(2, "little") + bytes([len(chunk)]) + chunk
    if len(bad) < len(good):
        out += bytes([file_id]) + len(bad).to_bytes(2, "little") + b"\x00"  # cut short
    if len(runs) > most:
        return None
    return out


# The data-folder target's steps (see fuzz_datafolder.cpp): one byte each, then arguments.
OPEN, CHECK, WALK, BACK, SEEK, SEEKSTORED, APPEND, CHANGE, DELETE, PACK, REINDEX, REOPEN, GO, \
    FLUSH, DISK, LABELS, SETTINGS, LAYOUT, ADMINCHECK, MAKEINDEX, PAGESAVE, PAGEDELETE, PAGESEEK, \
    CARD, INIT = range(25)
END = b"\x08"
EVERY_STEP = bytes([APPEND, 2]) + b"ABC" + bytes([APPEND, 3]) + b"ZETA" + bytes([
    WALK, CHECK, SEEKSTORED, 0, SEEK, 3]) + b"LEE" + bytes([CHANGE, 1, 2]) + b"NEW" + bytes([
    CHANGE, 0, 4]) + b"Town" + bytes([CHANGE, 3, 80, 5, 9, DELETE, 1, BACK, 5, GO, 5, 0, FLUSH,
    REOPEN, WALK, PACK, CHECK, REINDEX, 0, OPEN, WALK, LABELS, 2, 5]) + b"Stock" + bytes([
    SETTINGS, 10, 3]) + b"smt" + bytes([LAYOUT, 3, 2]) + b"ab" + bytes([ADMINCHECK, MAKEINDEX, 0,
    CHECK, MAKEINDEX, 1 | 10 << 2]) + b"Upper(Last)" + bytes([REOPEN, CHECK,
    PAGESAVE, 3, 4]) + b"Main" + b"\x02KIM" + bytes([PAGESEEK, 2]) + b"KI" + bytes([CARD, 6, CARD, 2,
    DELETE, 0, PAGEDELETE, 4, 1, REINDEX, 0, OPEN, CHECK, INIT])
DAMAGED_STEPS = bytes([WALK, CHECK, APPEND, 2]) + b"ABC" + bytes([FLUSH, SEEK, 2]) + b"LE" + bytes([
    BACK, 5, CHANGE, 1, 1]) + b"QQ" + bytes([PACK, REOPEN, REINDEX, 0, OPEN, CHECK])


def seeds(target):
    out = {}
    if target == "fuzz_table":
        for p in fixtures("good", ".dbf") + fixtures("broken", ".dbf"):
            out[os.path.basename(p)] = read(p)
    elif target == "fuzz_index":
        for p in fixtures("good", ".ntx") + fixtures("broken", ".ntx"):
            out[os.path.basename(p)] = read(p)
    elif target == "fuzz_indexwrite":
        # Inserts, removes, a flush with a reopen, seeks, more inserts, a count.
        ops = bytes([0x40, 1, 2, 3, 4, 0x30, 5, 6, 7, 3, 0x20, 8, 9, 5, 0x50, 1, 1, 1, 1, 1, 7,
                     0x0A, 0x05, 0x09, 0x0D, 0x13, 0x32, 0x31, 0x33, 0x23, 0x41, 0x42, 0x43, 0x44])
        ops += bytes([0x45, 7, 7, 7, 7]) * 12 + bytes([0x01, 0x05, 0x09, 0x0D] * 16) + b"\x0e\x07"
        for p in fixtures("good", ".ntx") + fixtures("broken", ".ntx"):
            b = read(p)
            out["seed-" + os.path.basename(p)] = len(b).to_bytes(2, "little") + b + ops
    elif target == "fuzz_import":
        out["seed-lines"] = b'\x07First,Last,Street\r\nZoe,"Young, Jr",1 Elm\nAl,Ames,"2 Oak\n\x1a'
        out["seed-encodings"] = b'\x0c\xef\xbb\xbfJos\xc3\xa9,M\xc3\xbcller,,,,\r\n\xe9t\xe9,\x80\x81,"a""b"'
    elif target == "fuzz_importrun":
        lines = b"Ada,Lovelace,1 Analytical Way\r\nCharles,Babbage,2 Engine Row\r\n,x\r\n"
        out["seed-run"] = b"\x00\xff" + lines
        # The row starts at 449: fFirst and fLast swapped, fCity at 14.
        layout = b"".join(o.to_bytes(2, "little") + bytes([c]) for o, c in
                          [(451, ord("2")), (453, ord("1")), (458, ord("1")), (459, ord("4"))])
        out["seed-layout"] = b"\x00" + layout + b"\xff" + b"a,b,c,d,e,f,g,h,i,j,k,l,m,n\r\n" + lines
        # The field descriptors damaged: a width, a type.
        out["seed-descriptors"] = b"\x00" + (80).to_bytes(2, "little") + b"\x05" + \
            (75).to_bytes(2, "little") + b"C" + b"\xff" + lines
        out["seed-encoding"] = b"\x00\xff\xef\xbb\xbfJos\xc3\xa9,M\xc3\xbcller\n\xe9t\xe9,\x80\x81\x1a,xx"
        out["seed-diskfull"] = bytes([1 | 4 | 3 << 3]) + b"\xff" + lines * 3
    elif target == "fuzz_datafolder":
        out["seed-steps"] = b"\x00\x00" + END + EVERY_STEP
        out["seed-pending"] = b"\x10\x00" + END + bytes([WALK, CHECK, APPEND, 2]) + b"XYZ" + bytes([REOPEN, CHECK])
        out["seed-paged"] = b"\x08\x00" + END + bytes([WALK, GO, 40, 0, WALK, BACK, 0x90, SEEK, 1]) + b"K"
        out["seed-nogroup"] = b"\x20\x00" + END + bytes([REINDEX, 1, OPEN, CHECK, WALK])
        out["seed-write-fails"] = b"\x01\x05" + END + bytes([APPEND, 2]) + b"ABC" + bytes([FLUSH, PACK, REOPEN, WALK])
        out["seed-disk-full"] = b"\x05\x14" + END + EVERY_STEP
        out["seed-rename-fails"] = b"\x03\x01" + END + bytes([PACK, REINDEX, 0, OPEN, CHECK])
        # An index made on an expression with every function, then the book's own index header
        # naming another expression (offset 22).
        for i, expr in enumerate([b"Left(Last,3)+Substr(First,2,4)+Str(Zip)+Dtos(Birthdate)",
                                  b"Trim(City)+LTrim(City)+Lower(Right(Last,2))+AllTrim(Zip)"]):
            out["seed-expression-%d" % i] = b"\x00\x00" + END + bytes([MAKEINDEX, 1 | len(expr) << 2]) + expr + \
                bytes([WALK, CHECK, SEEK, 2]) + b"YO" + bytes([APPEND, 2]) + b"ABC" + bytes([REOPEN, CHECK])
        header = b"AllTrim(Upper(Last))+Str(Christmas,3,1)\x00"
        out["seed-header-expression"] = b"\x00\x00\x01" + (22).to_bytes(2, "little") + bytes([len(header)]) + \
            header + END + bytes([WALK, CHECK, REINDEX, 0, OPEN, CHECK])
        # The settings row's font size (offset 320) and a label stock's width.
        out["seed-settings"] = b"\x00\x00" + b"\x06" + (320).to_bytes(2, "little") + b"\x04 12 " + END + \
            bytes([SETTINGS, 12, 2]) + b"ab" + bytes([ADMINCHECK])
        good_dbf, good_ntx = read(os.path.join(FIX, "good", "BOOK.dbf")), read(os.path.join(FIX, "good", "BOOK.ntx"))
        for p in fixtures("broken", ".ntx"):
            d = diff_patches(good_ntx, read(p), 1)
            if d is not None:
                out["seed-" + os.path.basename(p)] = b"\x00\x00" + d + END + DAMAGED_STEPS
        for p in fixtures("broken", ".dbf"):
            d = diff_patches(good_dbf, read(p), 0)
            if d is not None:
                out["seed-" + os.path.basename(p)] = b"\x00\x00" + d + END + DAMAGED_STEPS
    return out


def main():
    target, corpus = sys.argv[1], sys.argv[2]
    os.makedirs(corpus, exist_ok=True)
    for name, data in seeds(target).items():
        path = os.path.join(corpus, name)
        if not os.path.exists(path):
            with open(path, "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
