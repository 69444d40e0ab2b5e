// Small owners for Windows handles, and the string table.
// Only files of the Windows edge include this header.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <string>
#include <utility>

// Move-only owner of a handle, released by `Close`; a handle can never be closed twice.
template <typename Handle, auto Close, auto Invalid = Handle{}> class UniqueOwner {
public:
    UniqueOwner() = default;
    explicit UniqueOwner(Handle h) : handle_(h) {}
    UniqueOwner(const UniqueOwner&) = delete;
    UniqueOwner& operator=(const UniqueOwner&) = delete;
    UniqueOwner(UniqueOwner&& other) noexcept : handle_(other.release()) {}
    UniqueOwner& operator=(UniqueOwner&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~UniqueOwner() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Invalid; }
    Handle release() { return std::exchange(handle_, Invalid); }
    void reset(Handle h = Invalid) {
        if (handle_ != Invalid) {
            Close(handle_);
        }
        handle_ = h;
    }

private:
    Handle handle_ = Invalid;
};

inline void CloseKernelHandle(HANDLE h) {
    ::CloseHandle(h);
}
inline void ReleaseModule(HMODULE m) {
    ::FreeLibrary(m);
}

inline void CloseRegistryKey(HKEY key) {
    ::RegCloseKey(key);
}

// Memory the shell and COM hand out (a known folder's path).
inline void FreeTaskMemory(wchar_t* memory) {
    ::CoTaskMemFree(memory);
}

using UniqueHandle = UniqueOwner<HANDLE, CloseKernelHandle>;
using UniqueKey = UniqueOwner<HKEY, CloseRegistryKey>;
using UniqueModule = UniqueOwner<HMODULE, ReleaseModule>;
using UniqueTaskString = UniqueOwner<wchar_t*, FreeTaskMemory>;

// File functions say "no handle" with INVALID_HANDLE_VALUE rather than null.
inline UniqueHandle OwnFile(HANDLE file) {
    return UniqueHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

// Text `id` of the program's string table; empty when there is none. With a zero length
// LoadStringW hands back a pointer into the resource itself, so any length is read whole.
inline std::wstring LoadStringText(unsigned id) {
    const wchar_t* resource = nullptr;
    const int length =
        ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&resource), 0);
    return length > 0 && resource ? std::wstring(resource, static_cast<std::size_t>(length))
                                  : std::wstring();
}
