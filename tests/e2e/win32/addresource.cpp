// Test helper run under Wine: adds one resource to a PE file through the system's own
// resource-update calls, an implementation independent of ours.
//   addresource.exe FILE TYPE NAME LANGUAGE DATAFILE [TYPE NAME LANGUAGE DATAFILE...]
// TYPE and NAME are decimal ids or strings (e.g. CUSTOM 101, 2110 INDEX.HTML).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool isNumber(const char* s) {
    if (!*s)
        return false;
    for (; *s; ++s)
        if (*s < '0' || *s > '9')
            return false;
    return true;
}

LPCSTR resourceName(const char* s) {
    return isNumber(s) ? MAKEINTRESOURCEA(std::atoi(s)) : s;
}

} // namespace

bool readFile(const char* path, std::vector<char>& data) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f)
        return false;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
        data.insert(data.end(), buf, buf + n);
    std::fclose(f);
    return true;
}

int main(int argc, char** argv) {
    if (argc < 6 || (argc - 2) % 4 != 0) {
        std::fprintf(stderr, "usage: addresource FILE TYPE NAME LANGUAGE DATAFILE...\n");
        return 2;
    }
    HANDLE h = BeginUpdateResourceA(argv[1], FALSE);
    if (!h) {
        std::fprintf(stderr, "%s: BeginUpdateResource failed (%lu)\n", argv[1], GetLastError());
        return 1;
    }
    for (int i = 2; i + 3 < argc; i += 4) {
        std::vector<char> data;
        if (!readFile(argv[i + 3], data)) {
            std::fprintf(stderr, "%s: cannot open\n", argv[i + 3]);
            EndUpdateResourceA(h, TRUE);
            return 1;
        }
        if (!UpdateResourceA(h, resourceName(argv[i]), resourceName(argv[i + 1]),
                             static_cast<WORD>(std::atoi(argv[i + 2])), data.data(),
                             static_cast<DWORD>(data.size()))) {
            std::fprintf(stderr, "%s: UpdateResource failed (%lu)\n", argv[1], GetLastError());
            EndUpdateResourceA(h, TRUE);
            return 1;
        }
    }
    if (!EndUpdateResourceA(h, FALSE)) {
        std::fprintf(stderr, "%s: EndUpdateResource failed (%lu)\n", argv[1], GetLastError());
        return 1;
    }
    return 0;
}
