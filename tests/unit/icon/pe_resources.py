"""Lists a PE file's resources as the pefile library sees them, one line each:
type, name, language, file offset of the language-level directory entry, data-entry file offset, data RVA, data file offset, size, data in hex.
Names are ids or strings; a header line gives the checksum verdict and pefile's warnings."""
import sys

import pefile

pe = pefile.PE(sys.argv[1])
warnings = pe.get_warnings()
print("checksum", int(pe.verify_checksum()), pe.OPTIONAL_HEADER.CheckSum, len(warnings))
if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
    for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        tname = str(t.name) if t.name is not None else str(t.id)
        for n in t.directory.entries:
            nname = str(n.name) if n.name is not None else str(n.id)
            for lang in n.directory.entries:
                d = lang.data.struct
                off = pe.get_offset_from_rva(d.OffsetToData)
                data = pe.get_data(d.OffsetToData, d.Size)
                print(tname, nname, lang.id, lang.struct.get_file_offset(), d.get_file_offset(), d.OffsetToData, off, d.Size,
                      data.hex() or "-")
