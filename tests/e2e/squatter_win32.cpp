// Another program that takes names Varnok uses before it does, as any user's program may:
// an event under each name, until a file appears (the scenario's "end that program"), two
// minutes at most.
//   name_squatter UNTIL NAME...
// Prints "held" once every name is taken (or "not held NAME (error N)" and exits 1).
#include <windows.h>

#include <cstdio>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: name_squatter UNTIL NAME...\n");
        return 2;
    }
    std::vector<HANDLE> events;
    for (int i = 2; i < argc; ++i) {
        const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, argv[i]);
        if (!event || ::GetLastError() == ERROR_ALREADY_EXISTS) {
            std::printf("not held %ls (error %lu)\n", argv[i], ::GetLastError());
            return 1;
        }
        events.push_back(event);
    }
    std::printf("held\n");
    std::fflush(stdout);
    for (int i = 0; i < 2400 && ::GetFileAttributesW(argv[1]) == INVALID_FILE_ATTRIBUTES; ++i) {
        ::Sleep(50);
    }
    for (const HANDLE event : events) {
        ::CloseHandle(event);
    }
    return 0;
}
