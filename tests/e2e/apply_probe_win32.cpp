// "Apply" without the window: runs the real address assignment sequence (Setup::Run) with
// the given values and prints every "Varnok message" box it showed, which it closes as
// a user would. The end-to-end scenarios run it inside the PC's network namespace:
//   apply_probe MAC ADDRESS NETMASK GATEWAY [debug]
// Output, one line each: "box: <text>" per box in order, then "elapsed-ms: <n>".
#include <winsock2.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "common/log.h"
#include "common/win32.h"
#include "unit/setup.h"

namespace {

std::vector<std::wstring> boxes;
HWND lastClosed = nullptr;

BOOL CALLBACK CloseBox(HWND window, LPARAM) {
    wchar_t title[128] = {};
    wchar_t cls[64] = {};
    ::GetWindowTextW(window, title, 128);
    ::GetClassNameW(window, cls, 64);
    if (std::wstring(cls) != L"#32770" || std::wstring(title) != L"Varnok message" ||
        !::IsWindowVisible(window) || window == lastClosed) {
        return TRUE;
    }
    wchar_t text[2048] = {};
    ::GetDlgItemTextW(window, 0xFFFF, text, 2048); // the box's text control
    boxes.push_back(text);
    lastClosed = window;
    ::PostMessageW(window, WM_COMMAND, IDOK, 0);
    return FALSE;
}

// Runs inside the box's own modal loop: boxes have no owner, so they belong to this thread.
void CALLBACK LookForBox(HWND, UINT, UINT_PTR, DWORD) {
    ::EnumThreadWindows(::GetCurrentThreadId(), CloseBox, 0);
}

bool ParseAddress(const wchar_t* text, IPv4Address& out) {
    unsigned a, b, c, d;
    wchar_t rest;
    if (std::swscanf(text, L"%u.%u.%u.%u%lc", &a, &b, &c, &d, &rest) != 4 || a > 255 || b > 255 ||
        c > 255 || d > 255) {
        return false;
    }
    out.octet = {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b),
                 static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(d)};
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    IPv4Address address, netmask, gateway;
    if (argc < 5 || !ParseAddress(argv[2], address) || !ParseAddress(argv[3], netmask) ||
        !ParseAddress(argv[4], gateway)) {
        std::fprintf(stderr, "usage: apply_probe MAC ADDRESS NETMASK GATEWAY [debug]\n");
        return 2;
    }
    if (argc > 5 && std::wstring(argv[5]) == L"debug") {
        SetDebugFlag();
    }
    WSADATA data;
    if (::WSAStartup(MAKEWORD(1, 1), &data) != 0) {
        return 2;
    }
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, LookForBox);
    const auto start = std::chrono::steady_clock::now();
    Setup(argv[1], address, netmask, gateway).Run();
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    ::KillTimer(nullptr, timer);
    ::WSACleanup();
    for (const std::wstring& text : boxes) {
        std::printf("box: %ls\n", text.c_str());
    }
    std::printf("elapsed-ms: %lld\n", static_cast<long long>(elapsed.count()));
    return 0;
}
