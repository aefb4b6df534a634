// Another program that holds a file open for reading, as an editor or a
// viewer would: hold_file_open FILE READY RELEASE opens FILE with the C
// library, creates READY, and keeps FILE open until RELEASE exists (at
// most a minute).
#include <cstdio>

#include <windows.h>

int main(int argc, char** argv) {
    if (argc != 4) {
        return 2;
    }
    std::FILE* held = std::fopen(argv[1], "rb");
    std::FILE* ready = held != nullptr ? std::fopen(argv[2], "wb") : nullptr;
    if (ready == nullptr) {
        return 1;
    }
    std::fclose(ready);
    for (int waited = 0; GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES && waited < 6000; ++waited) {
        Sleep(10);
    }
    std::fclose(held);
    return 0;
}
