/* Reads one resource of a PE file through the system loader and writes its bytes to OUT, or
   to standard output (binary) without OUT.
   resread FILE TYPE NAME [OUT]   (TYPE/NAME: "#2110", "#101", a number, or a string such as
   CUSTOM) */
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

static LPCSTR id(const char* s) {
    const char* digits = s[0] == '#' ? s + 1 : s;
    char* end = NULL;
    unsigned long v = strtoul(digits, &end, 10);
    if (*digits >= '0' && *digits <= '9' && *end == '\0' && v <= 0xFFFF)
        return MAKEINTRESOURCEA(v);
    return s;
}

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        fprintf(stderr, "usage: resread FILE TYPE NAME [OUT]\n");
        return 2;
    }
    HMODULE m = LoadLibraryExA(argv[1], NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!m) {
        fprintf(stderr, "resread: cannot load %s (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    HRSRC r = FindResourceA(m, id(argv[3]), id(argv[2]));
    if (!r) {
        fprintf(stderr, "resread: no resource %s/%s in %s (error %lu)\n", argv[2], argv[3], argv[1],
                GetLastError());
        return 1;
    }
    DWORD size = SizeofResource(m, r);
    HGLOBAL g = LoadResource(m, r);
    const void* p = g ? LockResource(g) : NULL;
    if (!p) {
        fprintf(stderr, "resread: cannot load %s/%s\n", argv[2], argv[3]);
        return 1;
    }
    const char* outName = argc == 5 ? argv[4] : "standard output";
    FILE* f = stdout;
    if (argc == 5) {
        f = fopen(argv[4], "wb");
    } else {
        _setmode(_fileno(stdout), _O_BINARY);
    }
    if (!f || fwrite(p, 1, size, f) != size || fflush(f) != 0) {
        fprintf(stderr, "resread: cannot write %s\n", outName);
        return 1;
    }
    if (f != stdout)
        fclose(f);
    return 0;
}
