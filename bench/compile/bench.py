#!/usr/bin/python3
"""Times `folio compile` on generated books of 1,000 and 10,000 pages against `tar -cf` of the
same folder, and prints the times and ratios.

usage: bench.py [--dist build/dist/folioMake] [--sizes 1000,10000] [--repeat 3] [--work DIR]

Each time is the best of --repeat runs: the machine is shared, and the best run is the one least
disturbed by others.
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
          "对可她里后小么心多天而能好都然没日于起还发成事只作当想看文无开手十用主行方又如前所本见经头面"
          "公同三已老从动两长知民样现分将外但身些与高意进把法此实回二理美点月明其种声全工己话儿者向情部"
          "正名定女问力机给等几很业最间新什打便位因重被走电四第门相次东政海口使教西再平真听世气信北少关")


def page_text(i, rng):
    body = []
    size = 0
    while size < 6000:
        sentence = "".join(rng.choice(COMMON) for _ in range(rng.randint(12, 30))) + "。"
        body.append("<p>%s</p>\r\n" % sentence)
        size += len(sentence) * 2 + 9
    html = ("<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
            "charset=gb2312\">\r\n<title>第%d章</title>\r\n<link rel=\"stylesheet\" "
            "href=\"style.css\">\r\n</head>\r\n<body>\r\n<h1>第%d章</h1>\r\n%s"
            "<p><img src=\"cover.png\"></p>\r\n</body>\r\n</html>\r\n") % (i, i, "".join(body))
    return html.encode("cp936")


def make_project(root, n, picture):
    folder = os.path.join(root, "Bench%d" % n)
    if os.path.isdir(folder):
        shutil.rmtree(folder)
    os.makedirs(folder)
    rng = random.Random(n)
    for i in range(1, n + 1):
        with open(os.path.join(folder, "chapter%05d.html" % i), "wb") as f:
            f.write(page_text(i, rng))
    with open(os.path.join(folder, "style.css"), "wb") as f:
        f.write(b"body { line-height: 1.8; margin: 1em; }\r\np { text-indent: 2em; }\r\n")
    shutil.copyfile(picture, os.path.join(folder, "cover.png"))
    settings = ["电子书名称：Bench%d" % n, "索引页：chapter00001.html", "目录树：tree.html",
                "输出文件：Bench%d" % n, "作者：bench"]
    with open(os.path.join(folder, "Bench%d.ini" % n), "wb") as f:
        f.write(("\r\n".join(settings) + "\r\n").encode("cp936"))
    return folder


def timed(cmd):
    start = time.perf_counter()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    repo = os.path.dirname(os.path.dirname(here))
    ap = argparse.ArgumentParser()
    ap.add_argument("--dist", default=os.path.join(repo, "build", "dist", "folioMake"))
    ap.add_argument("--sizes", default="1000,10000")
    ap.add_argument("--repeat", type=int, default=3)
    ap.add_argument("--work", default=None)
    args = ap.parse_args()

    folio = os.path.join(args.dist, "folio")
    if not os.access(folio, os.X_OK):
        sys.exit("bench: %s is not built" % folio)
    picture = os.path.join(repo, "data", "Book", "cover.png")
    work = args.work or tempfile.mkdtemp(prefix="folio_bench_")
    out = os.path.join(work, "out")
    os.makedirs(out, exist_ok=True)

    results = {}
    for n in [int(s) for s in args.sizes.split(",")]:
        folder = make_project(work, n, picture)
        tarball = os.path.join(work, "bench.tar")
        timed(["tar", "-cf", tarball, "-C", work, os.path.basename(folder)])  # warms the cache
        t_tar = t_folio = float("inf")
        for _ in range(max(1, args.repeat)):
            t_tar = min(t_tar, timed(["tar", "-cf", tarball, "-C", work,
                                      os.path.basename(folder)]))
            t_folio = min(t_folio, timed([folio, "compile", folder, "--out", out, "--maker",
                                          args.dist, "--date", "2026-12-06"]))
        book = os.path.join(out, "Bench%d.exe" % n)
        results[n] = (t_folio, t_tar)
        print("N=%-6d folio compile %8.3f s   tar -cf %8.3f s   folio/tar %5.2f   book %d bytes"
              % (n, t_folio, t_tar, t_folio / t_tar, os.path.getsize(book)))
        os.remove(tarball)
        shutil.rmtree(folder)
    sizes = sorted(results)
    if len(sizes) >= 2:
        a, b = sizes[0], sizes[-1]
        print("time(%d)/time(%d) = %.2f" % (b, a, results[b][0] / results[a][0]))
    if not args.work:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
