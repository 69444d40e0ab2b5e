// The screen's scale for a window, and the themed tab background.
#include "win32/dpi.h"

#include "win32/system_library.h"

namespace {

// user32.dll is one of the KnownDLLs, and always loaded in a window's process: its newer
// functions are looked up rather than imported, so that an older Windows still starts
// Varnok.
template <typename Function> Function User32(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), name)));
}

} // namespace

UINT DpiOf(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = User32<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow && window) {
        if (const UINT dpi = getDpiForWindow(window)) {
            return dpi;
        }
    }
    const HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen) {
        ::ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

int MetricAt(int index, UINT dpi) {
    using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
    static const auto forDpi = User32<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
    return forDpi ? forDpi(index, dpi) : ::GetSystemMetrics(index);
}

void UseTabBackground(HWND page) {
    // uxtheme.dll is not a KnownDLL: from the system directory only, and kept for the
    // process's life, since the pages draw with it.
    using EnableThemeDialogTextureFn = HRESULT(WINAPI*)(HWND, DWORD);
    constexpr DWORD kEnableTab = 0x00000006; // ETDT_ENABLETAB
    static const SystemLibrary uxtheme(L"uxtheme.dll");
    if (const auto enable = uxtheme.Find<EnableThemeDialogTextureFn>("EnableThemeDialogTexture")) {
        enable(page, kEnableTab);
    }
}
