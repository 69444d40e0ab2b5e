// A spreadsheet holding a file open, as Excel does while the technician looks at the day's
// record: opened for reading, others may only read it too, until a second file appears
// (the scenario's "close the spreadsheet"), two minutes at most.
//   file_holder PATH UNTIL
// Prints "held" once the file is open (or "not held (error N)" and exits 1).
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: file_holder PATH UNTIL\n");
        return 2;
    }
    const HANDLE file = ::CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::printf("not held (error %lu)\n", ::GetLastError());
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    for (int i = 0; i < 2400 && ::GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES; ++i) {
        ::Sleep(50);
    }
    ::CloseHandle(file);
    return 0;
}
