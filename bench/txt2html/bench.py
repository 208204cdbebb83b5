#!/usr/bin/python3
"""Times `folio txt2html` on generated text chapters against `sed` making the same five
replacements (& space > < CR LF) in copies of the same files, and prints the times and the ratio.

usage: bench.py [--dist build/dist/folioMake] [--count 10000] [--size 6000] [--repeat 3]
                [--work DIR]

Each time is the best of --repeat runs: the machine is shared, and the best run is the one least
disturbed by others. Both sides read every file and write a new file through a temporary name;
folio also puts the pages on disk (one flush of the file system for the whole batch) before
renaming them into place, sed does not.
"""
import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

COMMON = ("的一是不了人我在有他这中大来上国个到说们为子和你地出道也时年得就那要下以生会自着去之过家学"
          "对可她里后小么心多天而能好都然没日于起还发成事只作当想看文无开手十用主行方又如前所本见经头面")
# The characters the conversion escapes turn up now and then, as in real chapters.
MARKS = ["，", "。", "“", "”", " ", "  ", " & ", "<", ">", "　　"]

SED_SCRIPT = r"s/&/\&amp;/g; s/ /\&nbsp;/g; s/>/\&gt;/g; s/</\&lt;/g; s/\r\n/<br>/g"


def chapter(rng, size):
    lines = []
    total = 0
    while total < size:
        words = []
        for _ in range(rng.randint(20, 60)):
            words.append(rng.choice(COMMON) if rng.random() < 0.9 else rng.choice(MARKS))
        line = "　　" + "".join(words)
        data = line.encode("cp936")
        lines.append(data)
        total += len(data) + 2
    return b"\r\n".join(lines) + b"\r\n"


def make_files(folder, count, size):
    if os.path.isdir(folder):
        shutil.rmtree(folder)
    os.makedirs(folder)
    rng = random.Random(count)
    names = []
    for i in range(1, count + 1):
        name = "%05d.txt" % i
        with open(os.path.join(folder, name), "wb") as f:
            f.write(chapter(rng, size))
        names.append(name)
    return names


def timed(cmd, cwd):
    """Wall time, and the processor time (user + system) the command itself used."""
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, cwd=cwd)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("bench: %s failed" % cmd[0])
    return wall, usage.ru_utime + usage.ru_stime


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    repo = os.path.dirname(os.path.dirname(here))
    ap = argparse.ArgumentParser()
    ap.add_argument("--dist", default=os.path.join(repo, "build", "dist", "folioMake"))
    ap.add_argument("--count", type=int, default=10000)
    ap.add_argument("--size", type=int, default=6000)
    ap.add_argument("--repeat", type=int, default=3)
    ap.add_argument("--work", default=None)
    args = ap.parse_args()

    args.dist = os.path.abspath(args.dist)
    folio = os.path.join(args.dist, "folio")
    if not os.access(folio, os.X_OK):
        sys.exit("bench: %s is not built" % folio)
    if not os.path.isfile(os.path.join(args.dist, "list", "page", "page.html")):
        sys.exit("bench: %s has no list/page/page.html" % args.dist)
    work = args.work or tempfile.mkdtemp(prefix="folio_bench_")
    text = os.path.join(work, "text")
    names = make_files(text, args.count, args.size)
    copies = os.path.join(work, "sed")

    inf = (float("inf"), float("inf"))
    t_folio = t_sed = inf
    for _ in range(max(1, args.repeat)):
        # sed edits in place (a temporary file renamed over each one), so it gets fresh copies;
        # folio starts from a folder without pages.
        if os.path.isdir(copies):
            shutil.rmtree(copies)
        shutil.copytree(text, copies)
        for name in names:
            page = os.path.join(text, name[:-4] + ".html")
            if os.path.exists(page):
                os.remove(page)
        t_sed = min(t_sed, timed(["sed", "-z", "-i", "-e", SED_SCRIPT] + names, copies))
        t_folio = min(t_folio, timed([folio, "txt2html", "--maker", args.dist] + names, text))

    sample = os.path.join(text, names[0][:-4] + ".html")
    print("N=%d files of %d bytes, page %d bytes" % (args.count, args.size,
                                                   os.path.getsize(sample)))
    print("  wall: folio txt2html %8.3f s   sed %8.3f s   folio/sed %6.2f"
          % (t_folio[0], t_sed[0], t_folio[0] / t_sed[0]))
    print("  cpu:  folio txt2html %8.3f s   sed %8.3f s   folio/sed %6.2f"
          % (t_folio[1], t_sed[1], t_folio[1] / t_sed[1]))
    if not args.work:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
