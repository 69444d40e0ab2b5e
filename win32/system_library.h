// One of Windows' own DLLs that is not among the KnownDLLs (iphlpapi.dll, comctl32.dll),
// loaded at run time from the system directory only. A static import of it would be
// looked for in the program's own folder first, before wWinMain runs: anyone can put a DLL
// of that name beside a Varnok.exe in Downloads, and it would run elevated.
#pragma once

#include "win32/win32.h"

class SystemLibrary {
public:
    // By name, from the system directory (or through the program's manifest, for the
    // common controls' version 6).
    explicit SystemLibrary(const wchar_t* name)
        : module_(::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {}

    explicit operator bool() const { return static_cast<bool>(module_); }

    // The function `name` as a `Function` pointer; null when the library or it is missing.
    template <typename Function> Function Find(const char* name) const {
        if (!module_) {
            return nullptr;
        }
        return reinterpret_cast<Function>(
            reinterpret_cast<void (*)()>(::GetProcAddress(module_.get(), name)));
    }

private:
    UniqueModule module_;
};
