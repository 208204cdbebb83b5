#!/usr/bin/python3
"""Times `folio compile` on generated books against `tar -cf` of the same folder, and prints
the wall-time ratios, peak memory and the incremental figure.

usage: bench.py [--dist build/dist/folioMake] [--sizes 1000,10000,65000,100000] [--pairs 7]
                [--big-mb 1990] [--work DIR] [--base DIST]

For every size N: a project of N chapters (about 6 KB each, CP936), a style sheet, a picture and
the contents page. The full compile (`--full`) and `tar -cf` of the same folder run in turn,
A B A B ..., --pairs times after one warm-up each; printed are the medians of each and the
median of the pair-by-pair ratios, the machine being shared (a slow moment hits both of a pair).
A resource directory counts its entries in 16 bits, so a book holds at most 65,535 resources
of a type: a larger N is timed to its refusal, which comes before anything is written.
Peak memory is the largest resident set of any run, as GNU time tells it (else wait4's, which
counts this script's own memory too).
The incremental figure: 10 chapters edited, then a compile that takes the rest from the previous
book, against a full compile after another 10 edits, in pairs. Last, a book of --big-mb MB
(pictures of 16 MB; a PE32 image ends at 2 GiB) for the memory of a full and an incremental
build (0 skips it).
With --base (another build's maker folder, say a copy of an earlier one), its full compile and
its rebuild after 10 edits are paired with this build's the same way, for each N, with the
peak memory of each.
Everything is generated under --work (a temporary folder by default) and removed afterwards.
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

COMMON = ("的一是不了人我在有他这中大来上国个到说们为子和你地出道也时年得就那要下以生会自着去之过家学"
          "对可她里后小么心多天而能好都然没日于起还发成事只作当想看文无开手十用主行方又如前所本见经头面"
          "公同三已老从动两长知民样现分将外但身些与高意进把法此实回二理美点月明其种声全工己话儿者向情部"
          "正名定女问力机给等几很业最间新什打便位因重被走电四第门相次东政海口使教西再平真听世气信北少关")


def bodies(rng, count=64):
    """A few chapter bodies to draw from: generating 100,000 of them would take longer than
    compiling them."""
    out = []
    for _ in range(count):
        body, size = [], 0
        while size < 6000:
            sentence = "".join(rng.choice(COMMON) for _ in range(rng.randint(12, 30))) + "。"
            body.append("<p>%s</p>\r\n" % sentence)
            size += len(sentence) * 2 + 9
        out.append("".join(body))
    return out


def page_text(i, body, mark=""):
    html = ("<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
            "charset=gb2312\">\r\n<title>第%d章</title>\r\n<link rel=\"stylesheet\" "
            "href=\"style.css\">\r\n</head>\r\n<body>\r\n<h1>第%d章%s</h1>\r\n%s"
            "<p><img src=\"cover.png\"></p>\r\n</body>\r\n</html>\r\n") % (i, i, mark, body)
    return html.encode("cp936")


def chapter(folder, i):
    return os.path.join(folder, "chapter%06d.html" % i)


def make_project(root, n, picture, big_pictures=0):
    folder = os.path.join(root, "Bench%d" % n)
    if os.path.isdir(folder):
        shutil.rmtree(folder)
    os.makedirs(folder)
    rng = random.Random(n)
    pool = bodies(rng)
    for i in range(1, n + 1):
        with open(chapter(folder, i), "wb") as f:
            f.write(page_text(i, pool[i % len(pool)]))
    with open(os.path.join(folder, "style.css"), "wb") as f:
        f.write(b"body { line-height: 1.8; margin: 1em; }\r\np { text-indent: 2em; }\r\n")
    with open(os.path.join(folder, "tree.html"), "wb") as f:
        f.write(b"<html><body><a href=\"chapter000001.html\">1</a></body></html>\r\n")
    shutil.copyfile(picture, os.path.join(folder, "cover.png"))
    block = bytes(range(256)) * 4096  # 1 MB
    for k in range(big_pictures):
        with open(os.path.join(folder, "picture%04d.bmp" % k), "wb") as f:
            for m in range(16):
                f.write(bytes([k & 255, m]) + block[2:])
    settings = ["电子书名称：Bench%d" % n, "索引页：chapter000001.html", "目录树：tree.html",
                "输出文件：Bench%d" % n, "作者：bench"]
    with open(os.path.join(folder, "Bench%d.ini" % n), "wb") as f:
        f.write(("\r\n".join(settings) + "\r\n").encode("cp936"))
    return folder


# A resource directory counts its named entries in 16 bits: a book holds at most this many
# pages, and a larger project is refused before anything is written.
MAX_PAGES = 65535 - 3  # the style sheet, the picture and the contents page are pages too


# A child of this script starts out as a copy of it, and the kernel keeps that copy's resident
# set as the child's peak through the exec: every run would seem to take the 16 MB or so of this
# Python. GNU time starts the command from a process of its own, a small one, and tells its peak.
GNU_TIME = "/usr/bin/time"


def run(cmd, refused=False):
    """Wall seconds and peak resident set (MB) of one run (that must fail when `refused`)."""
    with tempfile.NamedTemporaryFile(mode="r") as peak_file:
        timed = os.access(GNU_TIME, os.X_OK)
        if timed:
            cmd = [GNU_TIME, "-f", "%M", "-o", peak_file.name] + cmd
        start = time.perf_counter()
        proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        _, status, usage = os.wait4(proc.pid, 0)
        wall = time.perf_counter() - start
        err = proc.stderr.read().decode("utf-8", "replace")
        proc.stderr.close()
        if (status != 0) != refused:
            sys.exit("bench: %s %s: %s" % (" ".join(cmd), "was not refused" if refused
                                           else "failed", err))
        # GNU time's last line is the peak in KB (a failed command's status comes before it).
        peak_kb = int(peak_file.read().split()[-1]) if timed else usage.ru_maxrss
    return wall, peak_kb / 1024.0


def edit(folder, n, rng, count=10):
    for i in rng.sample(range(1, n + 1), count):
        with open(chapter(folder, i), "wb") as f:
            f.write(page_text(i, "<p>%d</p>\r\n" % rng.randint(0, 10 ** 9), " (edited)"))


def paired(a, b, pairs, before_a=None, before_b=None, peaks_of_both=False):
    """Runs a and b in turn after one warm-up each; returns the medians and the median ratio."""
    ta, tb, ratios, peak_a, peak_b = [], [], [], 0.0, 0.0
    for k in range(pairs + 1):
        if before_a:
            before_a()
        wa, pa = run(a)
        if before_b:
            before_b()
        wb, pb = run(b)
        peak_a, peak_b = max(peak_a, pa), max(peak_b, pb)
        if k == 0:
            continue
        ta.append(wa)
        tb.append(wb)
        ratios.append(wa / wb)
    if peaks_of_both:
        return statistics.median(ta), statistics.median(tb), statistics.median(ratios), \
            peak_a, peak_b
    return statistics.median(ta), statistics.median(tb), statistics.median(ratios), peak_a


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    repo = os.path.dirname(os.path.dirname(here))
    ap = argparse.ArgumentParser()
    ap.add_argument("--dist", default=os.path.join(repo, "build", "dist", "folioMake"))
    ap.add_argument("--sizes", default="1000,10000,65000,100000")
    ap.add_argument("--pairs", type=int, default=7)
    ap.add_argument("--big-mb", type=int, default=1990)
    ap.add_argument("--work", default=None)
    ap.add_argument("--base", default=None)
    args = ap.parse_args()

    folio = os.path.join(args.dist, "folio")
    if not os.access(folio, os.X_OK):
        sys.exit("bench: %s is not built" % folio)
    picture = os.path.join(repo, "data", "Book", "cover.png")
    work = tempfile.mkdtemp(prefix="folio_bench_", dir=args.work)
    out = os.path.join(work, "out")
    os.makedirs(out)
    tarball = os.path.join(work, "bench.tar")
    load = os.getloadavg()[0]
    print("load average at the start: %.2f (on %d cores)" % (load, os.cpu_count()))
    rng = random.Random(25)

    def compile_cmd(folder, full, dist=args.dist):
        return [os.path.join(dist, "folio"), "compile", folder, "--out", out, "--maker", dist,
                "--date", "2026-12-06"] + (["--full"] if full else [])

    try:
        for n in [int(s) for s in args.sizes.split(",") if s]:
            folder = make_project(work, n, picture)
            tar = ["tar", "-cf", tarball, "-C", work, os.path.basename(folder)]
            if n > MAX_PAGES:
                wall, peak = run(compile_cmd(folder, True), refused=True)
                t_tar, _ = run(tar)
                print("N=%-7d refused (more pages than a book holds) after %.3f s, peak %.1f MB;"
                      " tar -cf %.3f s" % (n, wall, peak, t_tar))
                os.remove(tarball)
                shutil.rmtree(folder)
                continue
            t_folio, t_tar, ratio, peak = paired(compile_cmd(folder, True), tar, args.pairs)
            book = os.path.join(out, "Bench%d.exe" % n)
            print("N=%-7d full compile %7.3f s  tar -cf %7.3f s  folio/tar %5.2f  peak %6.1f MB"
                  "  book %d MB" % (n, t_folio, t_tar, ratio, peak,
                                    os.path.getsize(book) >> 20))
            t_inc, t_full, inc_ratio, inc_peak = paired(
                compile_cmd(folder, False), compile_cmd(folder, True), args.pairs,
                before_a=lambda: edit(folder, n, rng), before_b=lambda: edit(folder, n, rng))
            print("N=%-7d 10 pages edited: rebuild %7.3f s  full %7.3f s  rebuild/full %5.2f"
                  "  peak %6.1f MB" % (n, t_inc, t_full, inc_ratio, inc_peak))
            if args.base:
                for what, full in (("full compile", True), ("rebuild", False)):
                    edits = None if full else (lambda: edit(folder, n, rng))
                    t_this, t_base, ratio, peak_this, peak_base = paired(
                        compile_cmd(folder, full), compile_cmd(folder, full, args.base),
                        args.pairs, before_a=edits, before_b=edits, peaks_of_both=True)
                    print("N=%-7d %-12s this %7.3f s  base %7.3f s  this/base %5.2f  peak %6.1f"
                          " MB (base %6.1f MB)" % (n, what, t_this, t_base, ratio, peak_this,
                                                   peak_base))
            os.remove(book)
            os.remove(tarball)
            shutil.rmtree(folder)
        if args.big_mb > 0:
            pictures = max(1, args.big_mb // 16)
            folder = make_project(work, 1000, picture, big_pictures=pictures)
            wall, peak = run(compile_cmd(folder, True))
            edit(folder, 1000, rng)
            wall_inc, peak_inc = run(compile_cmd(folder, False))
            size = os.path.getsize(os.path.join(out, "Bench1000.exe"))
            print("book of %d MB (%d pictures of 16 MB, 1,000 chapters): full %.2f s, peak %.1f"
                  " MB; rebuild after 10 edits %.2f s, peak %.1f MB"
                  % (size >> 20, pictures, wall, peak, wall_inc, peak_inc))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("load average at the end: %.2f" % os.getloadavg()[0])


if __name__ == "__main__":
    main()
