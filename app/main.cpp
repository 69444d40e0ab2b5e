// Varnok's entry point.
#include "app/application.h"
#include "win32/win32.h"

namespace {

// DLLs loaded later (by the shell, the file dialog, the common controls) come from the
// system directory only, never from the program's or the current folder: the program
// runs elevated, often from Downloads or a USB stick. Looked up at run time, since
// Windows 7 has it only with its update KB2533623.
void RestrictDllSearch() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    const auto restrict = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (restrict) {
        restrict(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    RestrictDllSearch();
    return Application().InitInstance();
}
