#!/usr/bin/python3
"""Independent view of a PE file through pefile: sections, resources, checksum, warnings.

Usage: check_pe.py FILE            prints JSON
       check_pe.py FILE --checksum exits 0 when the stored checksum is right
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
            for n in t.directory.entries:
                nname = str(n.name) if n.name is not None else n.id
                for lang in n.directory.entries:
                    st = lang.data.struct
                    off = pe.get_offset_from_rva(st.OffsetToData)
                    blob = data[off:off + st.Size]
                    out["resources"].append({
                        "type": tname, "name": nname, "language": lang.id,
                        "size": st.Size, "sha256": hashlib.sha256(blob).hexdigest()})
    return out


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    try:
        info = describe(sys.argv[1])
    except pefile.PEFormatError as e:
        print(json.dumps({"error": str(e)}))
        return 1
    if "--checksum" in sys.argv[2:]:
        return 0 if info["checksum_ok"] else 1
    print(json.dumps(info, ensure_ascii=False))
    return 0


if __name__ == "__main__":
    sys.exit(main())
