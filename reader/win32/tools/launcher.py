#!/usr/bin/python3
"""Turns a linked PE32 program into one whose DOS header is also a POSIX shell script.

  launcher.py IN.exe OUT

The output starts with "MZqFpD='" and a newline. The shell reads that as the start of a
single-quoted assignment; the quote runs over the rest of the 64-byte DOS header (whose NUL
bytes, all inside the quote, shells skip) and closes at offset 64. The script that follows
starts the Linux reader on the file itself and ends with "exit", so the shell never parses the
binary behind it. Windows only looks at "MZ" and e_lfanew (offset 60), which points at the PE
headers moved down behind the script. When the headers no longer fit before the first
section, every section's raw data is shifted down by whole file-alignment units (RVAs do not
change, only file offsets).

The PE checksum is recomputed. Room for two more section headers is kept, so that resource
rebuilding can append a section without moving anything.
"""
import struct
import sys

MAGIC = b"MZqFpD='\n"

SCRIPT = b"""'
# On Linux this book opens in the folioPage reader: beside the book, $FOLIO_READER, PATH, the
# maker folder when the book lies in its out/ folder, or where packages install it (for a
# start with a bare PATH).
d=${0%/*}
[ "$d" = "$0" ] && d=.
[ -f "$d/folioPage" ] && [ -x "$d/folioPage" ] && exec "$d/folioPage" "$0" "$@"
[ -n "$FOLIO_READER" ] && exec "$FOLIO_READER" "$0" "$@"
command -v folioPage >/dev/null 2>&1 && exec folioPage "$0" "$@"
for r in "$d/../folioPage/folioPage" /usr/bin/folioPage /usr/local/bin/folioPage ~/.local/bin/folioPage; do
  [ -f "$r" ] && [ -x "$r" ] && exec "$r" "$0" "$@"
done
echo "$0: no folioPage reader found: install folio, put folioPage beside the book or on PATH, or set FOLIO_READER to its path" >&2
exit 127
"""

FILLER = b"folio Book image: a Windows program and a shell script"
SPARE_SECTION_HEADERS = 2
IMAGE_DIRECTORY_ENTRY_SECURITY = 4
IMAGE_DIRECTORY_ENTRY_DEBUG = 6


class LauncherError(Exception):
    pass


def u16(b, o):
    return struct.unpack_from("<H", b, o)[0]


def u32(b, o):
    return struct.unpack_from("<I", b, o)[0]


def align_up(v, a):
    return (v + a - 1) // a * a


def pe_checksum(data, checksum_offset):
    total = 0
    padded = data + (b"\0" if len(data) % 2 else b"")
    for (i,) in struct.iter_unpack("<H", padded):
        total += i
    # the CheckSum field itself counts as zero
    total -= u16(data, checksum_offset) + u16(data, checksum_offset + 2)
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def rewrite(data, name):
    data = bytearray(data)
    if len(data) < 64 or data[:2] != b"MZ":
        raise LauncherError(f"{name}: not an MZ executable")
    old_lfanew = u32(data, 60)
    if old_lfanew + 24 > len(data) or data[old_lfanew : old_lfanew + 4] != b"PE\0\0":
        raise LauncherError(f"{name}: no PE signature at offset {old_lfanew:#x}")
    coff = old_lfanew + 4
    nsections = u16(data, coff + 2)
    opt_size = u16(data, coff + 16)
    opt = coff + 20
    if u16(data, opt) != 0x10B:
        raise LauncherError(f"{name}: optional header magic {u16(data, opt):#x}, expected PE32 0x10b")
    if u32(data, coff + 8) != 0:
        raise LauncherError(f"{name}: has a COFF symbol table; link it stripped")
    file_align = u32(data, opt + 36)
    soh_off = opt + 60
    old_soh = u32(data, soh_off)
    ndirs = u32(data, opt + 92)
    for d in (IMAGE_DIRECTORY_ENTRY_SECURITY, IMAGE_DIRECTORY_ENTRY_DEBUG):
        if d < ndirs and u32(data, opt + 96 + 8 * d + 4) != 0:
            raise LauncherError(f"{name}: data directory {d} refers to file offsets; link it stripped")
    sections = opt + opt_size
    headers_end = sections + 40 * nsections
    block = bytes(data[old_lfanew:headers_end])

    script_end = 64 + len(SCRIPT)
    new_lfanew = align_up(script_end, 8)
    lfanew_bytes = struct.pack("<I", new_lfanew)
    if b"'" in lfanew_bytes:
        new_lfanew += 8
        lfanew_bytes = struct.pack("<I", new_lfanew)
    needed = new_lfanew + len(block) + 40 * SPARE_SECTION_HEADERS
    new_soh = max(old_soh, align_up(needed, file_align))
    delta = new_soh - old_soh

    raw_ptrs = [sections + 40 * i + 20 for i in range(nsections)]
    first_raw = min((u32(data, p) for p in raw_ptrs if u32(data, p)), default=len(data))
    if first_raw < old_soh:
        raise LauncherError(f"{name}: section data at {first_raw:#x} inside the headers")
    for i in range(nsections):
        raw, size = u32(data, sections + 40 * i + 20), u32(data, sections + 40 * i + 16)
        if raw and raw + size > len(data):
            raise LauncherError(f"{name}: section {i} data ends at {raw + size:#x}, "
                                f"beyond the end of the file ({len(data):#x})")

    head = bytearray(new_soh)
    head[0:9] = MAGIC
    head[9:60] = FILLER.ljust(51, b" ")[:51]
    head[60:64] = lfanew_bytes
    head[64:script_end] = SCRIPT
    head[new_lfanew : new_lfanew + len(block)] = block
    out = head + data[old_soh:]

    # fix the moved headers: SizeOfHeaders and the sections' file offsets
    n_coff = new_lfanew + 4
    n_opt = n_coff + 20
    struct.pack_into("<I", out, n_opt + 60, new_soh)
    n_sections = n_opt + opt_size
    for i in range(nsections):
        p = n_sections + 40 * i + 20
        if u32(out, p):
            struct.pack_into("<I", out, p, u32(out, p) + delta)
    checksum_off = n_opt + 64
    struct.pack_into("<I", out, checksum_off, pe_checksum(bytes(out), checksum_off))

    parsed = bytes(out[:script_end])
    quoted = parsed[len(MAGIC) - 1 : 64]
    assert b"'" not in quoted[1:], "a quote inside the quoted header"
    assert b"\0" not in parsed[:9] and b"\0" not in parsed[64:], "NUL where the shell parses"
    return bytes(out)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: launcher.py IN.exe OUT")
    src, dst = sys.argv[1], sys.argv[2]
    try:
        with open(src, "rb") as f:
            out = rewrite(f.read(), src)
    except (OSError, LauncherError) as e:
        sys.exit(f"launcher.py: {e}")
    except struct.error:
        sys.exit(f"launcher.py: {src}: headers cut short, not a PE32 program")
    tmp = dst + ".tmp"
    with open(tmp, "wb") as f:
        f.write(out)
    import os

    os.chmod(tmp, 0o755)
    os.replace(tmp, dst)


if __name__ == "__main__":
    main()
