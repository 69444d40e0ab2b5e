// A small stand-in program for the launcher's and the update page's tests: sleeps,
// leaves a marker file and exits with a chosen code, so a test can tell whether, when and
// how it ran. Other arguments are ignored, so it can stand in for the TFTP client; then
// the environment chooses (VARNOK_HELPER_SLEEP, VARNOK_HELPER_TOUCH, VARNOK_HELPER_EXIT).
//   varnok_test_helper [--sleep MS] [--touch FILE] [--say LINE] [--spew BYTES] [--exit CODE]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <fstream>

namespace {

const wchar_t* Environment(const wchar_t* name) {
    static wchar_t value[1024];
    const DWORD n = ::GetEnvironmentVariableW(name, value, 1024);
    return n > 0 && n < 1024 ? value : nullptr;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    int code = 0;
    if (const wchar_t* touch = Environment(L"VARNOK_HELPER_TOUCH")) {
        // What it was started with, so a test can see the arguments it was handed.
        std::wofstream(touch, std::ios::app) << L"started " << ::GetCommandLineW() << L"\n";
    }
    if (const wchar_t* sleep = Environment(L"VARNOK_HELPER_SLEEP")) {
        ::Sleep(static_cast<DWORD>(std::wcstoul(sleep, nullptr, 10)));
    }
    if (const wchar_t* exit = Environment(L"VARNOK_HELPER_EXIT")) {
        code = static_cast<int>(std::wcstol(exit, nullptr, 10));
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::wcscmp(argv[i], L"--sleep") == 0) {
            ::Sleep(static_cast<DWORD>(std::wcstoul(argv[i + 1], nullptr, 10)));
        } else if (std::wcscmp(argv[i], L"--touch") == 0) {
            std::ofstream(argv[i + 1]) << "ran\n";
        } else if (std::wcscmp(argv[i], L"--say") == 0) {
            std::fprintf(stderr, "progress\n");
            std::printf("%ls\r\n\r\n", argv[i + 1]);
            std::fflush(stdout);
        } else if (std::wcscmp(argv[i], L"--spew") == 0) {
            // A talkative program: more than any pipe holds at once.
            for (unsigned long n = std::wcstoul(argv[i + 1], nullptr, 10); n > 0; --n) {
                std::putchar(n % 64 == 0 ? '\n' : 'x');
            }
            std::fflush(stdout);
        } else if (std::wcscmp(argv[i], L"--exit") == 0) {
            code = static_cast<int>(std::wcstol(argv[i + 1], nullptr, 10));
        }
    }
    return code;
}
