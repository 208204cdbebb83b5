#!/usr/bin/python3
"""Writes a folder of web pages into a ZIM file, the format the ZIM reader of the start-up
benchmark opens: every file of the folder becomes an entry under its own name, the HTML pages
front articles titled by their <title>, and `--main` the page the reader shows first.

usage: make_zim.py FOLDER OUT.zim --main chapter00001.html [--title TITLE]

Needs Debian's python3-libzim (bench/startup/install-deps.sh).
"""
import argparse
import mimetypes
import os
import re
import sys

try:
    from libzim.writer import Creator, Hint, Item, StringProvider
except ImportError:
    sys.exit("make_zim: python3-libzim is missing (bench/startup/install-deps.sh installs it)")


class Page(Item):
    def __init__(self, path, data, mimetype, title):
        super().__init__()
        self.path, self.data, self.mimetype, self.title = path, data, mimetype, title

    def get_path(self):
        return self.path

    def get_title(self):
        return self.title

    def get_mimetype(self):
        return self.mimetype

    def get_contentprovider(self):
        return StringProvider(self.data)

    def get_hints(self):
        return {Hint.FRONT_ARTICLE: self.mimetype == "text/html"}


def page_title(data, name):
    for encoding in ("utf-8", "cp936"):
        try:
            text = data.decode(encoding)
            break
        except UnicodeDecodeError:
            continue
    else:
        return name
    found = re.search(r"<title>(.*?)</title>", text, re.I | re.S)
    return found.group(1).strip() if found else name


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("folder")
    ap.add_argument("out")
    ap.add_argument("--main", required=True)
    ap.add_argument("--title", default="Bench")
    args = ap.parse_args()

    if os.path.exists(args.out):
        os.remove(args.out)
    with Creator(args.out).config_indexing(False, "zho") as creator:
        creator.set_mainpath(args.main)
        for name in sorted(os.listdir(args.folder)):
            full = os.path.join(args.folder, name)
            if not os.path.isfile(full):
                continue
            with open(full, "rb") as f:
                data = f.read()
            mimetype = mimetypes.guess_type(name)[0] or "application/octet-stream"
            title = page_title(data, name) if mimetype == "text/html" else name
            creator.add_item(Page(name, data, mimetype, title))
        creator.add_metadata("Title", args.title)
        creator.add_metadata("Language", "zho")
        creator.add_metadata("Creator", "folio bench")
        creator.add_metadata("Publisher", "folio bench")
        creator.add_metadata("Description", "start-up benchmark book")
        creator.add_metadata("Date", "2026-12-08")


if __name__ == "__main__":
    main()
