#!/usr/bin/python3
"""Writes the fuzz harnesses' seed corpora from our own sources: a tiny book built here with
mingw from seed/, our settings files, skins and pages. Usage: make_corpus.py OUT [EXTRA_PE...]
(extra PE32 files, e.g. the reader template of a full build, join the PE corpora)."""
import glob
import os
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))


def small_icon(size=8):
    pixels = b"".join(struct.pack("<BBBB", x * 30, y * 30, 128, 255)
                      for y in range(size) for x in range(size))
    mask = b"\0" * (4 * size)
    bih = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, len(pixels) + len(mask),
                      0, 0, 0, 0)
    image = bih + pixels + mask
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32,
                                                       len(image), 22) + image


def tiny_book(work):
    """A PE32 book of a few KB: a descriptor, two pages, an icon, a named resource."""
    gcc, windres = shutil.which("i686-w64-mingw32-gcc"), shutil.which("i686-w64-mingw32-windres")
    if not gcc or not windres:
        print("make_corpus: no mingw-w64; the PE corpora start from the extra files only")
        return []
    with open(os.path.join(work, "tiny.ico"), "wb") as f:
        f.write(small_icon())
    res = os.path.join(work, "tiny.res")
    subprocess.run([windres, "-I", work, os.path.join(HERE, "seed", "tiny.rc"), "-O", "coff",
                    "-o", res], check=True)
    books = []
    # The usual 512-byte file alignment, and the small-alignment layout (file alignment equal
    # to section alignment, below a page) that keeps a whole book under 2 KB.
    small = ["-fno-asynchronous-unwind-tables", "-Wl,--section-alignment=0x20,--file-alignment=0x20"]
    for name, extra in (("tiny.exe", ["-Wl,--disable-dynamicbase,--disable-reloc-section"]),
                        ("tiny-small.exe", ["-Wl,--disable-dynamicbase,--disable-reloc-section"] +
                         small)):
        out = os.path.join(work, name)
        subprocess.run([gcc, "-Os", "-s", "-nostdlib", "-Wl,-e,_start",
                        os.path.join(HERE, "seed", "tiny.c"), res, "-o", out] + extra, check=True)
        with open(out, "rb") as f:
            books.append(f.read())
    return books


def u16(n):
    return struct.pack("<H", n)


def write(out, harness, name, data):
    folder = os.path.join(out, harness)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def main():
    out = sys.argv[1]
    with tempfile.TemporaryDirectory() as work:
        pes = tiny_book(work)
    pes += [read(p) for p in sys.argv[2:] if os.path.isfile(p)]
    ico = small_icon()
    for i, pe in enumerate(pes):
        write(out, "fuzz_pe_reader", f"pe{i}", pe)
        write(out, "fuzz_resource_writer", f"keep{i}", b"\x00" + pe)
        # Two changes: add a page by name, delete a stored resource.
        change = (b"\x00" + b"\x00" + b"\x03" + u16(5) + b"A.HTM" + b"\x01" + u16(0) +
                  u16(3) + b"abc")
        delete = b"\x02" + b"\x00" + b"\x00" + b"\x01" + u16(1) + u16(0)
        write(out, "fuzz_resource_writer", f"change{i}", b"\x02" + change + delete + pe)
        write(out, "fuzz_icon", f"icon{i}", u16(len(ico)) + ico + pe)
        desc = b"Seed:Us:INDEX.HTML:TREE.HTML:::::2026-1-1"
        write(out, "fuzz_book", f"book{i}", u16(10) + b"index.html" + u16(len(desc)) + desc + pe)
    write(out, "fuzz_icon", "ico-only", u16(len(ico)) + ico)

    texts = glob.glob(os.path.join(ROOT, "data", "**", "*.ini"), recursive=True)
    texts += [os.path.join(ROOT, "data", "Language.lng")]
    for i, p in enumerate(sorted(texts)):
        write(out, "fuzz_profile", f"ini{i}", b"\xff" + read(p)[:16384])
    for i, p in enumerate(sorted(glob.glob(os.path.join(ROOT, "data", "skin", "*.she")))):
        write(out, "fuzz_she", f"she{i}", read(p))
    base = b"http://example.invalid/book/ch1.html"
    for i, p in enumerate(sorted(glob.glob(os.path.join(ROOT, "data", "Book", "*.htm*")))):
        write(out, "fuzz_links", f"html{i}", u16(len(base)) + base + u16(2) + b"ch" +
              read(p)[:16384])
    for i, path in enumerate([b"/books/my book.exe/index.html", b"/books/my book.exe/#2110/A.HTM",
                              b"/books/my book.exe/CUSTOM/101", b"/books/other.exe/index.html",
                              b"/books/my book.exe/../x/y"]):
        write(out, "fuzz_respath", f"path{i}", b"\x01" + path)


if __name__ == "__main__":
    main()
