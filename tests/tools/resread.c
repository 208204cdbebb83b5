/* Reads one resource of a PE file through the system loader and writes its bytes to a file.
   resread FILE TYPE NAME OUT   (TYPE/NAME: "#2110", "#101" or a string such as CUSTOM) */
#include <stdio.h>
#include <windows.h>

static LPCSTR id(const char* s) {
    if (s[0] == '#')
        return MAKEINTRESOURCEA(atoi(s + 1));
    return s;
}

int main(int argc, char** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: resread FILE TYPE NAME OUT\n");
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
    FILE* f = fopen(argv[4], "wb");
    if (!f || fwrite(p, 1, size, f) != size) {
        fprintf(stderr, "resread: cannot write %s\n", argv[4]);
        return 1;
    }
    fclose(f);
    return 0;
}
