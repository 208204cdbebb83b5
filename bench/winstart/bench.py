#!/usr/bin/python3
"""Start-up of a Book image on Windows, under Wine: the reader template now against an earlier
template, side by side in one run.

usage: bench.py --base OLD_folioPage.dat [--dist build/dist/folioMake] [--pairs 7]
                [--work DIR] [--book data/Book]

Both templates get the same book (the sample project, or --book) compiled by `folio compile`
with a maker folder of their own, alike but for folioPage.dat. tests/e2e/win32's probe.exe
starts each Book image and prints, once the reading window is shown with its caption, the
microseconds since it called CreateProcess (its own clock, polling every 5 ms). The runs
alternate, new then old, in one Wine prefix under one virtual display, after one warm-up run
of each; the medians and the ratio new/old are printed.

An earlier template is built from an earlier commit's reader/win32/mingw, for example:
    git worktree add /tmp/base <commit>
    cmake -S /tmp/base/reader/win32/mingw -B /tmp/base-w32 -G Ninja \\
      -DCMAKE_TOOLCHAIN_FILE=/tmp/base/cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel \\
      -DFOLIO_SOURCE_DIR=/tmp/base -DFOLIO_PAGE_DIR=/tmp/base-page
    cmake --build /tmp/base-w32 --target folioPage_dat    # /tmp/base-page/folioPage.dat
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))


def compile_book(dist, template, book, out):
    maker = os.path.join(out, "maker")
    shutil.copytree(dist, maker, symlinks=True)
    shutil.copyfile(template, os.path.join(maker, "folioPage", "folioPage.dat"))
    project = os.path.join(out, "Book")
    shutil.copytree(book, project)
    os.makedirs(os.path.join(out, "out"))
    subprocess.run([os.path.join(dist, "folio"), "compile", project, "--maker", maker,
                    "--out", os.path.join(out, "out"), "--date", "2026-12-09"],
                   check=True, stdout=subprocess.DEVNULL)
    return os.path.join(out, "out")


def run_once(folder, prefix):
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all")
    r = subprocess.run(["wine", "probe.exe", "Book.exe"], cwd=folder, env=env,
                       capture_output=True, text=True, timeout=600)
    m = re.search(r"^shown (\d+) us$", r.stdout, re.M)
    if not m:
        sys.exit("no reading window in " + folder + ":\n" + r.stdout + r.stderr)
    return int(m.group(1)) / 1000.0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--base", required=True, help="the earlier folioPage.dat")
    ap.add_argument("--dist", default=os.path.join(SOURCE, "build", "dist", "folioMake"))
    ap.add_argument("--book", default=os.path.join(SOURCE, "data", "Book"))
    ap.add_argument("--pairs", type=int, default=7)
    ap.add_argument("--work")
    a = ap.parse_args()
    if "DISPLAY" not in os.environ:
        # One virtual display for every run.
        os.execvp("xvfb-run", ["xvfb-run", "-a", sys.executable] + sys.argv)
    work = a.work or tempfile.mkdtemp(prefix="folio-winstart-")
    probe = os.path.join(os.path.dirname(os.path.dirname(a.dist)), "win32", "probe.exe")
    folders = {}
    for name, template in (("new", os.path.join(a.dist, "folioPage", "folioPage.dat")),
                           ("old", a.base)):
        folders[name] = compile_book(a.dist, template, a.book, os.path.join(work, name))
        shutil.copyfile(probe, os.path.join(folders[name], "probe.exe"))
    prefix = os.path.join(work, "wineprefix")
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    subprocess.run(["wineboot", "-i"], env=env, capture_output=True)
    subprocess.run(["wineserver", "-w"], env=env)
    # Wine's server stays up between the runs, as it does on a desktop where Wine is in use.
    for name in folders:
        run_once(folders[name], prefix)
    times = {"new": [], "old": []}
    for _ in range(a.pairs):
        for name in ("new", "old"):
            times[name].append(run_once(folders[name], prefix))
    subprocess.run(["wineserver", "-k"], env=env)
    new, old = statistics.median(times["new"]), statistics.median(times["old"])
    sizes = {n: os.path.getsize(os.path.join(folders[n], "Book.exe")) for n in folders}
    print(f"pairs {a.pairs}, Book image {sizes['new']} bytes (new) / {sizes['old']} (old)")
    print(f"process start to reading window shown: new {new:.1f} ms, old {old:.1f} ms, "
          f"ratio {new / old:.3f}")
    print("new runs:", " ".join(f"{t:.0f}" for t in times["new"]))
    print("old runs:", " ".join(f"{t:.0f}" for t in times["old"]))


if __name__ == "__main__":
    main()
