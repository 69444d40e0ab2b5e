// A small stand-in program for the launcher's tests: sleeps, leaves a marker file and
// exits with a chosen code, so a test can tell whether, when and how it ran.
//   varnok_test_helper [--sleep MS] [--touch FILE] [--exit CODE]
#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <fstream>

int wmain(int argc, wchar_t** argv) {
    int code = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::wcscmp(argv[i], L"--sleep") == 0) {
            ::Sleep(static_cast<DWORD>(std::wcstoul(argv[i + 1], nullptr, 10)));
        } else if (std::wcscmp(argv[i], L"--touch") == 0) {
            std::ofstream(argv[i + 1]) << "ran\n";
        } else if (std::wcscmp(argv[i], L"--exit") == 0) {
            code = static_cast<int>(std::wcstol(argv[i + 1], nullptr, 10));
        }
    }
    return code;
}
