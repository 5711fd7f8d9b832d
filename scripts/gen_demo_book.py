#!/usr/bin/env python3
"""Makes a small made-up address book for trying Merrowby out.

usage:
  gen_demo_book.py N [--seed S] > contacts.csv
      Writes N contacts as comma-separated lines with the twelve address fields in the
      order the import layout of a new data directory expects: first name, last name,
      street, second street line, city, state, postal code, country, e-mail, phone, fax,
      mobile. No header line (the import takes every line as a contact), and no field
      holds a comma or a double quote.

  gen_demo_book.py --append DIR/AddrBook.dbf N [--seed S]
      Appends the same N contacts straight to an address table, for when no import is at
      hand. The table's index is then stale: rebuild it (merrowby-admin reindex DIR).

  gen_demo_book.py --occasions DIR/AddrBook.dbf [--seed S]
      Gives the rows of an existing address table card occasions and personal dates
      (the import brings in addresses only): every row gets a mix of holiday flags and
      a birthday, many an anniversary, a few the two other dates. Only the flag and date
      columns are rewritten, so the name index stays valid. The table is rewritten
      through a temporary file that replaces it only when complete.

The same seed always gives the same book.
"""
import os
import random
import sys
import tempfile
import time
import zlib

FIRST = ["Abigail", "Albert", "Alice", "Arthur", "Beatrice", "Bernard", "Clara", "Conrad",
         "Daisy", "Dennis", "Edith", "Ernest", "Florence", "Frank", "Grace", "Harold",
         "Hazel", "Henry", "Irene", "Isaac", "June", "Jasper", "Lena", "Leonard", "Mabel",
         "Martin", "Nora", "Oscar", "Olive", "Percy", "Rosa", "Ralph", "Stella", "Simon",
         "Thelma", "Victor", "Vera", "Walter", "Wilma", "Felix"]
LAST_START = ["Ash", "Bell", "Brook", "Clay", "Cran", "Dun", "Fair", "Fox", "Glen", "Hart",
              "Haw", "Hol", "Kings", "Lang", "Mar", "Mill", "Nor", "Oak", "Pem", "Red",
              "Rose", "Shel", "Stan", "Thorn", "Wake", "West", "Whit", "Wood"]
LAST_END = ["by", "well", "ford", "ton", "wick", "more", "ley", "field", "brook", "wood",
            "worth", "ham", "dale", "er", "son"]
STREETS = ["Acorn", "Birch", "Chapel", "Clover", "Daisy", "Garden", "Harbour", "Heather",
           "Juniper", "Meadow", "Mill", "Orchard", "Primrose", "Quarry", "Station", "Willow"]
STREET_KINDS = ["Street", "Road", "Lane", "Avenue", "Close", "Drive", "Court", "Way"]
PLACES = [("Ashford", "CT"), ("Bayville", "NY"), ("Cedar Falls", "IA"), ("Dunmore", "PA"),
          ("Elmhurst", "IL"), ("Fairhaven", "MA"), ("Glenwood", "MN"), ("Harmony", "ME"),
          ("Lakeside", "OH"), ("Maple Grove", "MN"), ("Northport", "AL"), ("Oakdale", "CA"),
          ("Pinecrest", "FL"), ("Riverton", "WY"), ("Stillwater", "OK"), ("Westbury", "NJ")]
ABROAD = [("Toronto", "ON", "Canada"), ("Halifax", "NS", "Canada"),
          ("Guadalajara", "JA", "Mexico"), ("York", "", "United Kingdom")]

HOLIDAY_FLAGS = ["Valentine", "Mother", "Father", "Secretary", "Halloween", "ThanksGiv",
                 "Christmas"]
DATED = [("Birthday", "Birthdate"), ("Annav", "Annavdate"), ("Other1", "Other1Date"),
         ("Other2", "Other2Date")]


def phone(rng):
    return "(%03d) 555-%04d" % (rng.randint(201, 989), rng.randint(0, 9999))


def contact(rng):
    first = rng.choice(FIRST)
    last = rng.choice(LAST_START) + rng.choice(LAST_END)
    street = "%d %s %s" % (rng.randint(1, 2999), rng.choice(STREETS), rng.choice(STREET_KINDS))
    street2 = "Apt %d" % rng.randint(1, 40) if rng.random() < 0.15 else ""
    if rng.random() < 0.1:
        city, state, country = rng.choice(ABROAD)
        postal = "%c%d%c %d%c%d" % (rng.choice("ABCEGHJK"), rng.randint(0, 9),
                                    rng.choice("ABCEGHJK"), rng.randint(0, 9),
                                    rng.choice("ABCEGHJK"), rng.randint(0, 9))
    else:
        city, state = rng.choice(PLACES)
        country = ""
        postal = "%05d" % rng.randint(1001, 99950)
    email = "%s.%s@example.net" % (first.lower(), last.lower())
    fax = phone(rng) if rng.random() < 0.1 else ""
    mobile = phone(rng) if rng.random() < 0.6 else ""
    return [first, last, street, street2, city, state, postal, country, email, phone(rng),
            fax, mobile]


def write_csv(n, seed, out):
    rng = random.Random(seed)
    for _ in range(n):
        out.write(",".join(contact(rng)) + "\r\n")


def read_fields(header):
    """Column name (upper case) -> (type, offset within the record, length)."""
    fields = {}
    offset = 1  # the deletion mark comes first
    pos = 32
    while pos + 32 <= len(header) and header[pos] not in (0x0D, 0x0A):
        desc = header[pos:pos + 32]
        name = desc[:11].split(b"\0", 1)[0].decode("ascii", "replace").strip().upper()
        ftype = chr(desc[11])
        length = desc[16]
        if ftype == "C":
            length |= desc[17] << 8
        fields[name] = (ftype, offset, length)
        offset += length
        pos += 32
    return fields


def random_date(rng, first_year, last_year):
    return "%04d%02d%02d" % (rng.randint(first_year, last_year), rng.randint(1, 12),
                             rng.randint(1, 28))


def replace_file(path, data):
    """Writes data to a temporary file beside path, syncs it and renames it over path."""
    directory = os.path.dirname(os.path.abspath(path))
    fd, tmp = tempfile.mkstemp(prefix=".demo-", dir=directory)
    try:
        os.chmod(tmp, os.stat(path).st_mode & 0o7777)
        with os.fdopen(fd, "wb") as f:
            f.write(data)
            f.flush()
            os.fsync(f.fileno())
        os.replace(tmp, path)
    except BaseException:
        os.unlink(tmp)
        raise


def read_table(path):
    """The table's bytes, row count, header length, row length and columns."""
    with open(path, "rb") as f:
        data = bytearray(f.read())
    if len(data) < 32:
        sys.exit("%s: not a table" % path)
    count = int.from_bytes(data[4:8], "little")
    header_len = int.from_bytes(data[8:10], "little")
    record_len = int.from_bytes(data[10:12], "little")
    if header_len > len(data) or header_len + count * record_len > len(data):
        sys.exit("%s: table is shorter than its header says" % path)
    return data, count, header_len, record_len, read_fields(data[:header_len])


def append_contacts(path, n, seed):
    data, count, header_len, record_len, fields = read_table(path)
    columns = ["FIRST", "LAST", "STREET", "STREET2", "CITY", "STATE", "ZIP", "COUNTRY",
               "EMAIL", "PHONE", "FAX", "MOBILE"]
    for name in columns:
        if fields.get(name, ("?",))[0] != "C":
            sys.exit("%s: no text column %s" % (path, name))
    rng = random.Random(seed)
    rows = bytearray()
    for _ in range(n):
        rec = bytearray(b" " * record_len)
        for ftype, off, length in fields.values():
            if ftype == "L":
                rec[off:off + length] = b"F" * length
        for name, value in zip(columns, contact(rng)):
            _, off, length = fields[name]
            rec[off:off + length] = value.encode("cp1252").ljust(length)[:length]
        rows += rec
    body = data[:header_len + count * record_len]
    count += n
    body[4:8] = count.to_bytes(4, "little")
    today = time.localtime()
    body[1:4] = bytes([today.tm_year - 1900, today.tm_mon, today.tm_mday])
    replace_file(path, body + rows + b"\x1a")
    return n


def mark_occasions(path, seed):
    data, count, header_len, record_len, fields = read_table(path)

    def field(name, kinds, length=None):
        f = fields.get(name.upper())
        if f is None or f[0] not in kinds or (length is not None and f[2] != length):
            sys.exit("%s: no column %s of the expected kind" % (path, name))
        return f

    flags = {name: field(name, "L", 1) for name in HOLIDAY_FLAGS}
    dated = [(field(flag, "L", 1), field(date, "DC", 8)) for flag, date in DATED]
    first = field("First", "C")
    last = field("Last", "C")

    for i in range(count):
        rec = header_len + i * record_len

        def put(f, text):
            _, off, length = f
            data[rec + off:rec + off + length] = text.encode("ascii").ljust(length)[:length]

        name = bytes(data[rec + last[1]:rec + last[1] + last[2]] +
                     data[rec + first[1]:rec + first[1] + first[2]])
        # Seeded by the name, so a row keeps its occasions whatever its position.
        rng = random.Random(seed * 1000003 + zlib.crc32(name))
        for f in flags.values():
            put(f, "T" if rng.random() < 0.45 else "F")
        chances = [1.0, 0.5, 0.15, 0.1]
        spans = [(1935, 2005), (1960, 2020), (1990, 2025), (1990, 2025)]
        for (flag_f, date_f), chance, (y0, y1) in zip(dated, chances, spans):
            if rng.random() < chance:
                put(date_f, random_date(rng, y0, y1))
                put(flag_f, "T" if rng.random() < 0.8 else "F")
            else:
                put(date_f, "")
                put(flag_f, "F")

    replace_file(path, data)
    return count


def main(argv):
    seed = 1
    args = list(argv)
    if "--seed" in args:
        i = args.index("--seed")
        try:
            seed = int(args[i + 1])
        except (IndexError, ValueError):
            sys.exit(__doc__)
        del args[i:i + 2]
    if len(args) == 3 and args[0] == "--append" and args[2].isdigit():
        n = append_contacts(args[1], int(args[2]), seed)
        print("appended %d contacts to %s" % (n, args[1]), file=sys.stderr)
        return
    if len(args) == 2 and args[0] == "--occasions":
        n = mark_occasions(args[1], seed)
        print("gave occasions to %d rows of %s" % (n, args[1]), file=sys.stderr)
        return
    if len(args) != 1 or not args[0].isdigit():
        sys.exit(__doc__)
    write_csv(int(args[0]), seed, sys.stdout)


if __name__ == "__main__":
    main(sys.argv[1:])
