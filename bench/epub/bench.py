#!/usr/bin/python3
"""Times `folio epub` on generated books against `zip -r -q` of the same folder, one run of
each, and prints the ratio and the peak memory of folio at each size.

usage: bench.py [--dist build/dist/folioMake] [--sizes 1000,10000] [--work DIR]

Each project is the compile bench's (N chapters of about 6 KB in CP936, a style sheet, a picture,
the contents page) with a contents list naming every chapter, nested ten to a part, so the
book follows the list. Peak memory is the largest resident set of the run (wait4). zip (Debian's
`zip`) deflates every file at its default level; folio parses each page, writes it again as
XHTML and deflates it. Everything is generated under --work and removed afterwards.
"""
import argparse
import importlib.util
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))


def compile_bench():
    spec = importlib.util.spec_from_file_location("compile_bench",
                                                  os.path.join(REPO, "bench", "compile", "bench.py"))
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def write_contents(folder, n):
    """<name>.toc: a part entry per ten chapters, each chapter under its part."""
    name = os.path.basename(folder)
    rows = []
    number = 0
    for i in range(1, n + 1):
        if (i - 1) % 10 == 0:
            number += 1
            part = number
            rows.append([" ", str(part), "-1", "第%d卷" % ((i - 1) // 10 + 1), "", "", "", "", "",
                         "", ""])
        number += 1
        rows.append([" ", str(number), str(part), "第%d章" % i, "chapter%06d.html" % i, "", "",
                     "", "", "", ""])
    text = "folio contents 1\r\n" + "".join("\t".join(r) + "\r\n" for r in rows)
    with open(os.path.join(folder, name + ".toc"), "wb") as f:
        f.write(text.encode("cp936"))


def run(cmd):
    """Wall seconds and peak resident set (MB) of one run."""
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - start
    err = proc.stderr.read().decode("utf-8", "replace")
    proc.stderr.close()
    if status != 0:
        sys.exit("bench: %s failed: %s" % (" ".join(cmd), err))
    return wall, usage.ru_maxrss / 1024.0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--dist", default=os.path.join(REPO, "build", "dist", "folioMake"))
    ap.add_argument("--sizes", default="1000,10000")
    ap.add_argument("--work", default=None)
    args = ap.parse_args()
    folio = os.path.join(args.dist, "folio")
    if not os.access(folio, os.X_OK):
        sys.exit("bench: %s is not built" % folio)
    if not shutil.which("zip"):
        sys.exit("bench: zip is not installed (scripts/install-deps.sh zip)")
    gen = compile_bench()
    picture = os.path.join(REPO, "data", "Book", "cover.png")
    work = tempfile.mkdtemp(prefix="folio_epub_bench_", dir=args.work)
    print("load average at the start: %.2f (on %d cores)" % (os.getloadavg()[0], os.cpu_count()))
    try:
        for n in [int(s) for s in args.sizes.split(",") if s]:
            folder = gen.make_project(work, n, picture)
            write_contents(folder, n)
            epub = os.path.join(work, "Bench%d.epub" % n)
            archive = os.path.join(work, "Bench%d.zip" % n)
            t_folio, peak = run([folio, "epub", folder, "--out", epub])
            t_zip, _ = run(["sh", "-c", 'cd "$1" && zip -r -q "$2" "$3"', "sh", work, archive,
                            os.path.basename(folder)])
            print("N=%-6d folio epub %7.3f s  zip -r -q %7.3f s  epub/zip %5.2f  peak %6.1f MB"
                  "  epub %5.1f MB  zip %5.1f MB"
                  % (n, t_folio, t_zip, t_folio / t_zip, peak, os.path.getsize(epub) / 2**20,
                     os.path.getsize(archive) / 2**20))
            os.remove(epub)
            os.remove(archive)
            shutil.rmtree(folder)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("load average at the end: %.2f" % os.getloadavg()[0])


if __name__ == "__main__":
    main()
