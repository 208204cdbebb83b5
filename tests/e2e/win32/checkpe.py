#!/usr/bin/python3
"""Checks a reader template or Book image with pefile, a PE reader we did not write.

  checkpe.py template FILE      the shipped template: exactly its three resources
  checkpe.py book FILE TEXT     a Book image whose descriptor is TEXT (CP936 bytes of it)

Prints every fault found; exit status 1 when there is any.
"""
import sys

import pefile

ALLOWED_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "ole32.dll", "oleaut32.dll", "shell32.dll",
    "comctl32.dll", "msvcrt.dll", "advapi32.dll", "shlwapi.dll", "comdlg32.dll",
}

faults = []


def check(cond, what):
    if not cond:
        faults.append(what)


def resources(pe):
    out = {}
    for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        tkey = str(t.name) if t.name is not None else t.id
        for n in t.directory.entries:
            nkey = str(n.name) if n.name is not None else n.id
            for lang in n.directory.entries:
                d = lang.data.struct
                out[(tkey, nkey, lang.id)] = pe.get_data(d.OffsetToData, d.Size)
    return out


def common(pe, data):
    check(data[:9] == b"MZqFpD='\n", "launcher header missing")
    check(pe.FILE_HEADER.Machine == 0x14C, "not an i386 image")
    check(pe.OPTIONAL_HEADER.Magic == 0x10B, "not PE32")
    check(pe.OPTIONAL_HEADER.Subsystem == 2, "not a GUI program")
    dlls = {e.dll.decode().lower() for e in pe.DIRECTORY_ENTRY_IMPORT}
    check(dlls <= ALLOWED_DLLS, f"imports beyond the system DLLs: {sorted(dlls - ALLOWED_DLLS)}")
    check(pe.sections[-1].Name.rstrip(b"\0") == b".rsrc", "resource section is not the last")
    for w in pe.get_warnings():
        faults.append("pefile: " + w)


def icon_resources(res):
    img = res.get((3, 30001, 0))
    check(img is not None and len(img) == 3240, "icon image 30001/0 missing or not 3240 bytes")
    if img:
        check(img[:4] == (40).to_bytes(4, "little"), "icon image does not start with a BITMAPINFOHEADER")
        check(int.from_bytes(img[4:8], "little") == 32 and int.from_bytes(img[14:16], "little") == 24,
              "icon image is not 32 pixels wide at 24 bits")
    grp = res.get((14, 1, 0))
    check(grp is not None and len(grp) == 20, "icon group 1/0 missing or not one entry")
    if grp:
        check(int.from_bytes(grp[4:6], "little") == 1, "icon group count is not 1")
        check(int.from_bytes(grp[18:20], "little") == 30001, "icon group does not name image 30001")
        check(int.from_bytes(grp[14:18], "little") == 3240, "icon group size is not 3240")
    check((16, 1, 2052) in res, "version block 16/1/2052 missing")


def main():
    mode, path = sys.argv[1], sys.argv[2]
    data = open(path, "rb").read()
    pe = pefile.PE(data=data)
    common(pe, data)
    res = resources(pe)
    icon_resources(res)
    if mode == "template":
        check(set(res) == {(3, 30001, 0), (14, 1, 0), (16, 1, 2052)},
              f"resources other than icon, group and version: {sorted(res, key=str)}")
        check(pe.verify_checksum(), "checksum does not match")
        check(len(data) < 512 * 1024, f"template is {len(data)} bytes")
    else:
        want = sys.argv[3].encode("gbk")
        check(res.get(("CUSTOM", 101, 1033)) == want, "descriptor CUSTOM/101/1033 differs")
    for f in faults:
        print(f"{path}: {f}")
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
