#!/usr/bin/python3
"""Lists a PE file's resources with pefile (an independent reader), one line each:
RES <type> <name> <language> <size> <same|differs|->, then CHECKSUM ok|bad.
With a folder, a type-2110 resource is compared with the folder's file of that name
(case ignored)."""
import os
import sys

import pefile

path = sys.argv[1]
folder = sys.argv[2] if len(sys.argv) > 2 else None
files = {}
if folder:
    for n in os.listdir(folder):
        files[n.upper()] = os.path.join(folder, n)


def label(entry, prefix=""):
    if entry.name is not None:
        return str(entry.name)
    return prefix + str(entry.id)


pe = pefile.PE(path)
if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
    print("NORESOURCES")
    sys.exit(0)
for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
    tn = label(t)
    for n in t.directory.entries:
        nn = label(n, "#")
        for lang in n.directory.entries:
            d = lang.data.struct
            data = pe.get_data(d.OffsetToData, d.Size)
            verdict = "-"
            if tn == "2110" and nn.upper() in files:
                with open(files[nn.upper()], "rb") as f:
                    verdict = "same" if f.read() == data else "differs"
            print("RES", tn, nn, lang.id, d.Size, verdict)
print("CHECKSUM", "ok" if pe.verify_checksum() else "bad")
