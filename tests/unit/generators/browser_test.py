#!/usr/bin/python3
"""The generated contents and home pages run in a real browser: headless Chromium draws one link
per contents entry and one book card per entry, for the sample project and for a list with
nested, numbered-twice, self-parented and looping entries.

Usage: browser_test.py <source dir> <maker folder>. A missing Chromium fails the test unless
FOLIO_ALLOW_MISSING_TOOLS=1 (then it is skipped, exit 77)."""
import html
import os
import re
import shutil
import subprocess
import sys
import tempfile

SOURCE, MAKER = sys.argv[1], sys.argv[2]
FOLIO = os.path.join(MAKER, "folio")
failures = []


def chromium():
    for name in ("chromium", "chromium-browser"):
        path = shutil.which(name)
        if path:
            return path
    if os.environ.get("FOLIO_ALLOW_MISSING_TOOLS") == "1":
        print("SKIP: chromium is missing (apt-get install chromium)")
        sys.exit(77)
    print("FAIL: chromium is missing (apt-get install chromium, or FOLIO_ALLOW_MISSING_TOOLS=1)")
    sys.exit(1)


BROWSER = chromium()


def dump_dom(path):
    with tempfile.TemporaryDirectory() as profile:
        out = subprocess.run([BROWSER, "--headless", "--no-sandbox", "--disable-gpu",
                              "--user-data-dir=" + profile, "--dump-dom", "file://" + path],
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=120)
    return out.stdout.decode("utf-8", "replace")


def entries(project):
    name = os.path.basename(os.path.normpath(project))
    with open(os.path.join(project, name + ".toc"), "rb") as f:
        lines = f.read().decode("cp936").split("\r\n")
    assert lines[0] == "folio contents 1", lines[0]
    return [line.split("\t") for line in lines[1:] if line]


def check(what, got, expected):
    if got != expected:
        failures.append("%s: got %r, expected %r" % (what, got, expected))


def check_project(project):
    rows = entries(project)
    tree = dump_dom(os.path.join(project, "tree.html"))
    links = [(html.unescape(h), html.unescape(c)) for h, c in
             re.findall(r'<a class="tree-link[^"]*" href="([^"]*)">([^<]*)</a>', tree)]
    check(project + " tree.html links", len(links), len(rows))
    check(project + " tree.html captions", sorted(c for _, c in links),
          sorted(r[3] for r in rows))
    for href, caption in links:
        row = next(r for r in rows if r[3] == caption)
        check(project + " link of " + caption, href, row[4] or "javascript:void(0)")
    index = dump_dom(os.path.join(project, "index.html"))
    check(project + " index.html cards", len(re.findall(r'<div class="book">', index)), len(rows))
    check(project + " index.html separators", index.count('<span class="hr">'), len(rows) // 4)


def folio(*args):
    subprocess.run([FOLIO] + list(args), check=True, stdout=subprocess.DEVNULL)


# The sample project as committed.
check_project(os.path.join(SOURCE, "data", "Book"))

# A list the tree must still draw whole: a home entry (0), folder entries under it, pages
# under a folder, the builder's numbering beside the home entry's, an entry that is its own
# parent, two entries that are each other's parent and a parent number no entry has.
with tempfile.TemporaryDirectory() as tmp:
    project = os.path.join(tmp, "Shelf")
    os.makedirs(os.path.join(project, "sub"))
    for name in ("Vol A", "Vol B"):
        os.makedirs(os.path.join(tmp, "explorer", name))
    for i in range(1, 4):
        with open(os.path.join(project, "p%d.html" % i), "wb") as f:
            f.write(("<html><title>第%d页 &amp; <b></title></html>" % i).encode("cp936"))
    folio("contents", "home", project)
    folio("contents", "folders", project, os.path.join(tmp, "explorer"))
    folio("contents", "add", project, "--title-from", "title", "--parent", "2",
          "p1.html", "p2.html", "p3.html")
    folio("contents", "add", project, "--title-from", "custom", "--parent", "7",
          "--caption", "Self", "--link", "self.html", "x")
    folio("contents", "add", project, "--title-from", "custom", "--parent", "9",
          "--caption", "Loop A", "--link", "a.html", "x")
    folio("contents", "add", project, "--title-from", "custom", "--parent", "8",
          "--caption", "Loop B", "--link", "b.html", "x")
    folio("contents", "add", project, "--title-from", "custom", "--parent", "constructor",
          "--caption", "Odd parent", "--link", "c.html", "x")
    folio("generate", project, "--maker", MAKER)
    check(project + " entries", len(entries(project)), 10)
    check_project(project)

for failure in failures:
    print("FAIL: " + failure)
sys.exit(1 if failures else 0)
