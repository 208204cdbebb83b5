#!/usr/bin/python3
"""Times `folio check` on generated projects of 10,000 and 1,000 pages against `grep -rc href`
over the same folder, in alternating runs, and prints the medians, the ratio and what the check
found.

usage: bench.py [--dist build/dist/folioMake] [--pages 10000,1000] [--repeat 7] [--work DIR]

The pages are novel chapters as the workbench gathers them: 1,500 to 3,000 Chinese characters
each, four in five in GBK (declared), the others in UTF-8, each linking the previous and next
chapters, the contents and home pages, a style sheet and a picture. The targets are under 1 s
for 10,000 pages and under 150 ms for 1,000.
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

WORDS = "道可非常名无天地之始有万物母故欲以观其妙徼此两者同出而异谓玄又众门"


def chapter(i, n, rng, gbk):
    body = []
    left = rng.randint(1500, 3000)
    while left > 0:
        k = min(left, rng.randint(60, 200))
        body.append("<p>%s</p>" % "".join(rng.choice(WORDS) for _ in range(k)))
        left -= k
    prev = "chapter%05d.html" % (i - 1) if i > 1 else "index.html"
    nxt = "chapter%05d.html" % (i + 1) if i < n else "tree.html"
    text = ('<!DOCTYPE html>\r\n<html><head><meta charset="%s"><title>第%d章</title>\r\n'
            '<link rel="stylesheet" href="style.css"></head><body>\r\n<h1 id="top%d">第%d章</h1>\r\n'
            '<img src="pic%02d.png" alt="">\r\n%s\r\n'
            '<p><a href="%s">上一章</a> <a href="tree.html">目录</a> <a href="%s">下一章</a>'
            ' <a href="#top%d">顶部</a></p></body></html>\r\n') % (
                "gbk" if gbk else "utf-8", i, i, i, i % 50, "\r\n".join(body), prev, nxt, i)
    return text.encode("cp936" if gbk else "utf-8")


def make_project(root, n):
    folder = os.path.join(root, "Book%d" % n)
    if os.path.isdir(folder):
        shutil.rmtree(folder)
    os.makedirs(folder)
    rng = random.Random(n)
    for i in range(1, n + 1):
        with open(os.path.join(folder, "chapter%05d.html" % i), "wb") as f:
            f.write(chapter(i, n, rng, i % 5 != 0))
    for k in range(50):
        with open(os.path.join(folder, "pic%02d.png" % k), "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n" + bytes(rng.randrange(256) for _ in range(200)))
    with open(os.path.join(folder, "style.css"), "wb") as f:
        f.write(b"body { background: url(pic00.png) }\r\n")
    with open(os.path.join(folder, "index.html"), "wb") as f:
        f.write(('<html><head><meta charset="utf-8"><title>书</title></head><body>'
                 '<a href="tree.html">目录</a> <a href="chapter00001.html">开始</a>'
                 '</body></html>').encode())
    adds = "\r\n".join("d.add(%d,-1,'第%d章','chapter%05d.html');" % (i, i, i)
                       for i in range(1, n + 1))
    with open(os.path.join(folder, "tree.html"), "wb") as f:
        f.write(('<html><head><meta charset="gbk"><title>目录</title></head><body>'
                 '<script>\r\n%s\r\n</script></body></html>' % adds).encode("cp936"))
    rows = ["folio contents 1"] + [
        "\t".join([" ", str(i), "-1", "第%d章" % i, "chapter%05d.html" % i] + [""] * 6)
        for i in range(1, n + 1)]
    name = os.path.basename(folder)
    with open(os.path.join(folder, name + ".toc"), "wb") as f:
        f.write(("\r\n".join(rows) + "\r\n").encode("cp936"))
    with open(os.path.join(folder, name + ".ini"), "wb") as f:
        f.write(("电子书名称：%s\r\n索引页：index.html\r\n目录树：tree.html\r\n" % name)
                .encode("cp936"))
    return folder


def timed(cmd):
    start = time.perf_counter()
    r = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start, r


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    repo = os.path.dirname(os.path.dirname(here))
    ap = argparse.ArgumentParser()
    ap.add_argument("--dist", default=os.path.join(repo, "build", "dist", "folioMake"))
    ap.add_argument("--pages", default="10000,1000")
    ap.add_argument("--repeat", type=int, default=7)
    ap.add_argument("--work", default=None)
    args = ap.parse_args()

    folio = os.path.join(args.dist, "folio")
    if not os.access(folio, os.X_OK):
        sys.exit("bench: %s is not built" % folio)
    work = args.work or tempfile.mkdtemp(prefix="folio_bench_check_")
    print("machine   %d cores, load %.2f" % (os.cpu_count(), os.getloadavg()[0]))
    for n in (int(p) for p in args.pages.split(",")):
        project = make_project(work, n)
        size = sum(os.path.getsize(os.path.join(project, f)) for f in os.listdir(project))
        check = [folio, "check", project]
        grep = ["grep", "-rc", "href", project]
        timed(check), timed(grep)  # the page cache warm for both
        t_check, t_grep = [], []
        for _ in range(args.repeat):
            t, r = timed(check)
            t_check.append(t)
            t_grep.append(timed(grep)[0])
        summary = r.stdout.decode("utf-8", "replace").strip().splitlines()[-1]
        mc, mg = statistics.median(t_check), statistics.median(t_grep)
        print("pages     %d (%.1f MB)" % (n, size / 1e6))
        print("  folio check   median %.3f s  (min %.3f, max %.3f)  exit %d: %s"
              % (mc, min(t_check), max(t_check), r.returncode, summary))
        print("  grep -rc href median %.3f s  (min %.3f, max %.3f)" % (mg, min(t_grep),
                                                                      max(t_grep)))
        print("  ratio         %.1f" % (mc / mg))
    if not args.work:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
