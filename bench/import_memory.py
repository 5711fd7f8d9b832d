#!/usr/bin/env python3
"""Peak memory and time of the detected contact import on a large vCard file.

usage: bench/import_memory.py [SIZE_MB ...] [--admin PATH] [--keep DIR]

For each size (default 400): writes a vCard file of about SIZE_MB megabytes with gen_vcards.py
(cards as the program's export writes them, every name a new one), makes a fresh data folder
with `merrowby-admin init`, and runs

    merrowby-admin import DIR FILE --detect

once, reporting the wall time, the CPU time and the peak resident set of that process (from
wait4). The admin tool is build/tools/merrowby-admin unless --admin names another. The files go
into a temporary folder, removed afterwards unless --keep names a folder to use instead.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def run(argv):
    start = time.monotonic()
    proc = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.monotonic() - start
    out = proc.stdout.read().decode(errors="replace")
    proc.stdout.close()
    code = os.waitstatus_to_exitcode(status)
    return code, out, wall, usage


def main(argv):
    admin = os.path.join(HERE, "..", "build", "tools", "merrowby-admin")
    keep = None
    sizes = []
    args = iter(argv)
    for a in args:
        if a == "--admin":
            admin = next(args)
        elif a == "--keep":
            keep = next(args)
        elif a.isdigit():
            sizes.append(int(a))
        else:
            sys.exit(__doc__)
    sizes = sizes or [400]
    work = keep or tempfile.mkdtemp(prefix="merrowby-import-memory-")
    os.makedirs(work, exist_ok=True)
    print("%8s %10s %10s %10s %10s  %s" % ("file MB", "contacts", "wall s", "CPU s", "peak MB", "result"))
    try:
        for size in sizes:
            vcf = os.path.join(work, "contacts-%d.vcf" % size)
            if not os.path.exists(vcf):
                with open(vcf, "w") as f:
                    subprocess.run([sys.executable, os.path.join(HERE, "gen_vcards.py"), str(size)],
                                   stdout=f, check=True)
            book = os.path.join(work, "book-%d" % size)
            shutil.rmtree(book, ignore_errors=True)
            subprocess.run([admin, "init", book], stdout=subprocess.DEVNULL, check=True)
            code, out, wall, usage = run([admin, "import", book, vcf, "--detect"])
            with open(vcf, "rb") as f:
                contacts = sum(1 for line in f if line.startswith(b"BEGIN:VCARD"))
            last = out.strip().splitlines()[-1] if out.strip() else ""
            print("%8d %10d %10.1f %10.1f %10.1f  exit %d: %s" % (
                os.path.getsize(vcf) >> 20, contacts, wall, usage.ru_utime + usage.ru_stime,
                usage.ru_maxrss / 1024.0, code, last))
            if not keep:
                shutil.rmtree(book, ignore_errors=True)
    finally:
        if not keep:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main(sys.argv[1:])
