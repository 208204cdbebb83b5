#!/usr/bin/python3
"""Independent view of a PE file through pefile: sections, resources, checksum, warnings.

Usage: check_pe.py FILE                      prints the description as JSON
       check_pe.py FILE --lines              prints it one fact a line (tab-separated), for C++
       check_pe.py FILE --checksum           exits 0 when the stored checksum is right
       check_pe.py FILE --expect-json EXPECT compares with EXPECT (a JSON description, or just
                                             its "resources" list); exits 1 and shows the
                                             differences when they disagree
       check_pe.py FILE --listing [FOLDER]   one line a resource, "RES <type> <name> <language>
                                             <size> <same|differs|->" (an id name as "#id"),
                                             then "CHECKSUM ok|bad"; with FOLDER a type-2110
                                             resource is compared with the folder's file of
                                             that name (case ignored); "NORESOURCES" if none
       check_pe.py FILE --template           the shipped reader template: exactly its three
                                             resources, launcher header, system DLLs only
       check_pe.py FILE --book TEXT          a Book image whose descriptor is TEXT (stored as
                                             CP936); both print every fault found, exit 1 if any
       check_pe.py FILE --offsets            "checksum <ok 0|1> <stored> <warnings>", then one
                                             line a resource: type, name, language, file offset
                                             of its language-level entry, of its data entry,
                                             data RVA, data file offset, size, data in hex

Resource types and names are numbers for ids and strings for names.
"""
import hashlib
import json
import os
import sys

import pefile


def describe(path):
    pe = pefile.PE(path)
    out = {
        "machine": pe.FILE_HEADER.Machine,
        "magic": pe.OPTIONAL_HEADER.Magic,
        "sections": [s.Name.rstrip(b"\0").decode("latin-1") for s in pe.sections],
        "checksum_ok": pe.verify_checksum(),
        "warnings": pe.get_warnings(),
        "resources": [],
    }
    data = pe.__data__
    for t, n, lang in leaves(pe):
        tname = str(t.name) if t.name is not None else t.id
        nname = str(n.name) if n.name is not None else n.id
        st = lang.data.struct
        off = pe.get_offset_from_rva(st.OffsetToData)
        blob = data[off:off + st.Size]
        if len(blob) != st.Size:
            out["warnings"].append(
                "resource %s/%s/%d: data runs past the end of the file" % (tname, nname, lang.id))
        out["resources"].append({
            "type": tname, "name": nname, "language": lang.id,
            "size": st.Size, "sha256": hashlib.sha256(blob).hexdigest()})
    return out


def leaves(pe):
    """(type entry, name entry, language entry) for every resource, in tree order."""
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return
    for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for n in t.directory.entries if hasattr(t, "directory") else []:
            for lang in n.directory.entries if hasattr(n, "directory") else []:
                yield t, n, lang


def label(entry, prefix=""):
    return str(entry.name) if entry.name is not None else prefix + str(entry.id)


def listing(path, folder):
    pe = pefile.PE(path)
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return "NORESOURCES"
    files = {n.upper(): os.path.join(folder, n) for n in os.listdir(folder)} if folder else {}
    out = []
    for t, n, lang in leaves(pe):
        tn, nn = label(t), label(n, "#")
        d = lang.data.struct
        data = pe.get_data(d.OffsetToData, d.Size)
        verdict = "-"
        if tn == "2110" and nn.upper() in files:
            with open(files[nn.upper()], "rb") as f:
                verdict = "same" if f.read() == data else "differs"
        out.append("RES %s %s %d %d %s" % (tn, nn, lang.id, d.Size, verdict))
    out.append("CHECKSUM " + ("ok" if pe.verify_checksum() else "bad"))
    return "\n".join(out)


def offsets(path):
    pe = pefile.PE(path)
    out = ["checksum %d %d %d" % (int(pe.verify_checksum()), pe.OPTIONAL_HEADER.CheckSum,
                                  len(pe.get_warnings()))]
    for t, n, lang in leaves(pe):
        d = lang.data.struct
        data = pe.get_data(d.OffsetToData, d.Size)
        out.append(" ".join(str(v) for v in (
            label(t), label(n), lang.id, lang.struct.get_file_offset(), d.get_file_offset(),
            d.OffsetToData, pe.get_offset_from_rva(d.OffsetToData), d.Size,
            data.hex() or "-")))
    return "\n".join(out)


ALLOWED_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "ole32.dll", "oleaut32.dll", "shell32.dll",
    "comctl32.dll", "msvcrt.dll", "advapi32.dll", "shlwapi.dll", "comdlg32.dll",
    "winmm.dll",  # the system's media control interface: the reader's sound player
}


def reader_faults(path, mode, text):
    """What is wrong with a reader template (mode "template") or a Book image ("book")."""
    faults = []

    def check(cond, what):
        if not cond:
            faults.append(what)

    with open(path, "rb") as f:
        data = f.read()
    pe = pefile.PE(data=data)
    check(data[:9] == b"MZqFpD='\n", "launcher header missing")
    check(pe.FILE_HEADER.Machine == 0x14C, "not an i386 image")
    check(pe.OPTIONAL_HEADER.Magic == 0x10B, "not PE32")
    check(pe.OPTIONAL_HEADER.Subsystem == 2, "not a GUI program")
    dlls = {e.dll.decode().lower() for e in pe.DIRECTORY_ENTRY_IMPORT}
    check(dlls <= ALLOWED_DLLS, f"imports beyond the system DLLs: {sorted(dlls - ALLOWED_DLLS)}")
    check(pe.sections[-1].Name.rstrip(b"\0") == b".rsrc", "resource section is not the last")
    for w in pe.get_warnings():
        faults.append("pefile: " + w)

    res = {}
    for t, n, lang in leaves(pe):
        tkey = str(t.name) if t.name is not None else t.id
        nkey = str(n.name) if n.name is not None else n.id
        d = lang.data.struct
        res[(tkey, nkey, lang.id)] = pe.get_data(d.OffsetToData, d.Size)

    img = res.get((3, 30001, 0))
    check(img is not None and len(img) == 3240, "icon image 30001/0 missing or not 3240 bytes")
    if img:
        check(img[:4] == (40).to_bytes(4, "little"),
              "icon image does not start with a BITMAPINFOHEADER")
        check(int.from_bytes(img[4:8], "little") == 32 and int.from_bytes(img[14:16], "little") == 24,
              "icon image is not 32 pixels wide at 24 bits")
    grp = res.get((14, 1, 0))
    check(grp is not None and len(grp) == 20, "icon group 1/0 missing or not one entry")
    if grp:
        check(int.from_bytes(grp[4:6], "little") == 1, "icon group count is not 1")
        check(int.from_bytes(grp[18:20], "little") == 30001, "icon group does not name image 30001")
        check(int.from_bytes(grp[14:18], "little") == 3240, "icon group size is not 3240")
    check((16, 1, 2052) in res, "version block 16/1/2052 missing")

    if mode == "template":
        check(set(res) == {(3, 30001, 0), (14, 1, 0), (16, 1, 2052)},
              f"resources other than icon, group and version: {sorted(res, key=str)}")
        check(pe.verify_checksum(), "checksum does not match")
        # Every book carries the template: a guard against growth no one meant (the reader
        # with its reading settings and its sentence-by-sentence reading aloud is ~642 KiB).
        check(len(data) < 672 * 1024, f"template is {len(data)} bytes")
    else:
        check(res.get(("CUSTOM", 101, 1033)) == text.encode("gbk"),
              "descriptor CUSTOM/101/1033 differs")
    return faults


def key(r):
    return (str(r["type"]), str(r["name"]), r["language"])


def compare(info, expected):
    """Returns a list of differences between the description and the expectation."""
    if isinstance(expected, list):
        expected = {"resources": expected}
    diffs = []
    for field in ("sections", "checksum_ok", "warnings", "machine", "magic"):
        if field in expected and expected[field] != info[field]:
            diffs.append("%s: expected %r, found %r" % (field, expected[field], info[field]))
    if "resources" in expected:
        have = {key(r): r for r in info["resources"]}
        want = {key(r): r for r in expected["resources"]}
        for k in sorted(want.keys() - have.keys()):
            diffs.append("missing resource %s/%s/%d" % k)
        for k in sorted(have.keys() - want.keys()):
            diffs.append("unexpected resource %s/%s/%d" % k)
        for k in sorted(want.keys() & have.keys()):
            for field in ("size", "sha256"):
                if field in want[k] and want[k][field] != have[k][field]:
                    diffs.append("resource %s/%s/%d: %s expected %r, found %r"
                                 % (k + (field, want[k][field], have[k][field])))
    return diffs


def lines(info):
    def ident(v):
        return "#%d" % v if isinstance(v, int) else v
    out = ["checksum_ok\t%d" % (1 if info["checksum_ok"] else 0)]
    out += ["section\t%s" % s for s in info["sections"]]
    out += ["warning\t%s" % w.replace("\n", " ").replace("\t", " ") for w in info["warnings"]]
    out += ["resource\t%s\t%s\t%d\t%d\t%s" % (ident(r["type"]), ident(r["name"]), r["language"],
                                              r["size"], r["sha256"]) for r in info["resources"]]
    return "\n".join(out)


def main():
    args = sys.argv[1:]
    if not args or args[0] in ("-h", "--help"):
        print(__doc__)
        return 2
    if "--listing" in args[1:]:
        i = args.index("--listing")
        print(listing(args[0], args[i + 1] if i + 1 < len(args) else None))
        return 0
    if "--template" in args[1:] or "--book" in args[1:]:
        mode = "template" if "--template" in args[1:] else "book"
        text = args[args.index("--book") + 1] if mode == "book" else None
        faults = reader_faults(args[0], mode, text)
        for f in faults:
            print("%s: %s" % (args[0], f))
        return 1 if faults else 0
    if "--offsets" in args[1:]:
        print(offsets(args[0]))
        return 0
    try:
        info = describe(args[0])
    except (pefile.PEFormatError, OSError) as e:
        print(json.dumps({"error": "%s: %s" % (args[0], e)}))
        return 1
    if "--checksum" in args[1:]:
        ok = info["checksum_ok"]
        print("checksum %s" % ("ok" if ok else "WRONG"))
        return 0 if ok else 1
    if "--expect-json" in args[1:]:
        i = args.index("--expect-json")
        if i + 1 >= len(args):
            print("--expect-json needs a file")
            return 2
        with open(args[i + 1], encoding="utf-8") as f:
            expected = json.load(f)
        diffs = compare(info, expected)
        for d in diffs:
            print(d)
        return 1 if diffs else 0
    if "--lines" in args[1:]:
        print(lines(info))
        return 0
    print(json.dumps(info, ensure_ascii=False))
    return 0


if __name__ == "__main__":
    sys.exit(main())
