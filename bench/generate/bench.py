#!/usr/bin/python3
"""Times `folio generate` on a project whose contents list holds 10,000 entries against `cp` of
the files generate writes (the same bytes, copied), and prints the times and the ratio.

usage: bench.py [--dist build/dist/folioMake] [--entries 10000] [--repeat 5] [--work DIR]

Each time is the best of --repeat runs: the machine is shared, and the best run is the one least
disturbed by others. The target is under 0.5 s for 10,000 entries.
"""
import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

WORDS = "道可非常名无天地之始有万物母故欲以观其妙徼此两者同出而异谓玄又众门"


def make_project(root, n):
    folder = os.path.join(root, "Shelf")
    if os.path.isdir(folder):
        shutil.rmtree(folder)
    os.makedirs(folder)
    rng = random.Random(n)
    lines = ["folio contents 1"]
    # Ten volumes at the top, every tenth chapter a section, the rest pages under the sections.
    for i in range(1, n + 1):
        parent = "-1" if i <= 10 else str(rng.randint(1, 10) if i % 10 == 0 else (i // 10) * 10)
        caption = "第%d章 %s" % (i, "".join(rng.choice(WORDS) for _ in range(rng.randint(2, 12))))
        cells = [" ", str(i), parent, caption, "chapter%05d.html" % i, "作者%d" % (i % 7),
                 str(rng.randint(1, 300) / 10), "", "第%d章" % (i + 1),
                 "连载中" if i % 3 else "完结", "简介" * rng.randint(0, 20)]
        lines.append("\t".join(cells))
    with open(os.path.join(folder, "Shelf.toc"), "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("cp936"))
    with open(os.path.join(folder, "Shelf.ini"), "wb") as f:
        f.write("电子书名称：书架\r\n索引页：index.html\r\n目录树：tree.html\r\n".encode("cp936"))
    return folder


def best(cmd, repeat):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    return min(times)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    repo = os.path.dirname(os.path.dirname(here))
    ap = argparse.ArgumentParser()
    ap.add_argument("--dist", default=os.path.join(repo, "build", "dist", "folioMake"))
    ap.add_argument("--entries", type=int, default=10000)
    ap.add_argument("--repeat", type=int, default=5)
    ap.add_argument("--work", default=None)
    args = ap.parse_args()

    folio = os.path.join(args.dist, "folio")
    if not os.access(folio, os.X_OK):
        sys.exit("bench: %s is not built" % folio)
    work = args.work or tempfile.mkdtemp(prefix="folio_bench_generate_")
    project = make_project(work, args.entries)
    generate = [folio, "generate", project, "--maker", args.dist]
    subprocess.run(generate, check=True, stdout=subprocess.DEVNULL)

    written = [name for name in sorted(os.listdir(project))
               if name not in ("Shelf.toc", "Shelf.ini")]
    copies = os.path.join(work, "copies")
    os.makedirs(copies, exist_ok=True)
    size = sum(os.path.getsize(os.path.join(project, name)) for name in written)
    baseline = ["cp"] + [os.path.join(project, name) for name in written] + [copies]

    t_generate = best(generate, args.repeat)
    t_cp = best(baseline, args.repeat)
    print("entries   %d" % args.entries)
    print("files     %d written, %d bytes (%s)" % (len(written), size, " ".join(written)))
    print("generate  %.3f s" % t_generate)
    print("cp        %.3f s" % t_cp)
    print("ratio     %.1f x cp" % (t_generate / t_cp))
    print("target    %s (under 0.5 s)" % ("met" if t_generate < 0.5 else "MISSED"))
    if not args.work:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
