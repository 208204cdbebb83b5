#!/usr/bin/python3
"""Independent view of a PE file through pefile: sections, resources, checksum, warnings.

Usage: check_pe.py FILE                      prints the description as JSON
       check_pe.py FILE --lines              prints it one fact a line (tab-separated), for C++
       check_pe.py FILE --checksum           exits 0 when the stored checksum is right
       check_pe.py FILE --expect-json EXPECT compares with EXPECT (a JSON description, or just
                                             its "resources" list); exits 1 and shows the
                                             differences when they disagree

Resource types and names are numbers for ids and strings for names.
"""
import hashlib
import json
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
    if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
            tname = str(t.name) if t.name is not None else t.id
            for n in getattr(t, "directory", None).entries if hasattr(t, "directory") else []:
                nname = str(n.name) if n.name is not None else n.id
                for lang in n.directory.entries if hasattr(n, "directory") else []:
                    st = lang.data.struct
                    off = pe.get_offset_from_rva(st.OffsetToData)
                    blob = data[off:off + st.Size]
                    if len(blob) != st.Size:
                        out["warnings"].append(
                            "resource %s/%s/%d: data runs past the end of the file"
                            % (tname, nname, lang.id))
                    out["resources"].append({
                        "type": tname, "name": nname, "language": lang.id,
                        "size": st.Size, "sha256": hashlib.sha256(blob).hexdigest()})
    return out


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
