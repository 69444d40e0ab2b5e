// Writing the embedded client out into the current directory.
#include "win32/client_file.h"

#include <io.h>

#include "win32/win32.h"

std::wstring ClientPath() {
    const DWORD length = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring directory(length, L'\0');
    const DWORD copied = ::GetCurrentDirectoryW(length, directory.data());
    directory.resize(copied);
    if (!directory.empty() && directory.back() != L'\\') {
        directory += L'\\';
    }
    return directory + L"tftp.exe";
}

bool ExtractClient(std::uint16_t resourceId) {
    if (_waccess(L".\\tftp.exe", 0) == 0) {
        return false; // there already: used as it is, whatever it holds
    }
    const HMODULE self = ::GetModuleHandleW(nullptr);
    const HRSRC found = ::FindResourceW(self, MAKEINTRESOURCEW(resourceId), L"EXE");
    const HGLOBAL loaded = found ? ::LoadResource(self, found) : nullptr;
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    const DWORD size = found ? ::SizeofResource(self, found) : 0;
    if (!bytes || size == 0) {
        return false;
    }
    // Written beside under another name and renamed into place once complete: a client
    // cut short (a full disk) would otherwise stay and be used by every later run.
    const wchar_t* partial = L"tftp.exe.partial";
    bool written = false;
    {
        const UniqueHandle file = OwnFile(::CreateFileW(
            partial, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            return false;
        }
        DWORD done = 0;
        written = ::WriteFile(file.get(), bytes, size, &done, nullptr) && done == size;
    }
    // Never replaces a tftp.exe that appeared meanwhile.
    if (!written || !::MoveFileExW(partial, L"tftp.exe", MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileW(partial);
        return false;
    }
    return true;
}
