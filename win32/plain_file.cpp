// Opening files without following links.
#include "win32/plain_file.h"

#include <utility>

namespace {

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The full form of a path as asked for (no "." or "..", no trailing separator).
std::wstring FullPath(const std::wstring& path) {
    const DWORD length = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(length, L'\0');
    full.resize(length ? ::GetFullPathNameW(path.c_str(), length, full.data(), nullptr) : 0);
    while (full.size() > 3 && full.back() == L'\\') {
        full.pop_back();
    }
    return full;
}

// A file or folder opened as itself, never through a link, with FILE_READ_ATTRIBUTES added
// to whatever access the caller asks for: the plain-file check reads attributes and the
// number of links, which Windows refuses on a handle without that right. CreateFileW
// adds the right itself, but an open that does not go through it (NtCreateFile) would
// not: the check takes only such a handle, so no open can forget the right.
class AsItself {
public:
    AsItself(const std::wstring& path, DWORD access, DWORD share, DWORD disposition, DWORD flags)
        : handle_(
              OwnFile(::CreateFileW(path.c_str(), access | FILE_READ_ATTRIBUTES, share, nullptr,
                                    disposition, flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr))) {}

    explicit operator bool() const { return static_cast<bool>(handle_); }
    HANDLE get() const { return handle_.get(); }
    UniqueHandle Release() { return std::move(handle_); }

    // A plain directory or file (as `directory` says): not a link, and a file with no
    // second name elsewhere (a hard link).
    bool IsPlain(bool directory) const {
        BY_HANDLE_FILE_INFORMATION information{};
        return ::GetFileInformationByHandle(handle_.get(), &information) &&
               !(information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
               static_cast<bool>(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ==
                   directory &&
               (directory || information.nNumberOfLinks == 1);
    }

private:
    UniqueHandle handle_;
};

} // namespace

std::wstring ResolvedPath(HANDLE handle) {
    const DWORD length = ::GetFinalPathNameByHandleW(handle, nullptr, 0, FILE_NAME_NORMALIZED);
    std::wstring path(length, L'\0');
    path.resize(length
                    ? ::GetFinalPathNameByHandleW(handle, path.data(), length, FILE_NAME_NORMALIZED)
                    : 0);
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        return L"\\\\" + path.substr(8);
    }
    if (path.rfind(L"\\\\?\\", 0) == 0) {
        return path.substr(4);
    }
    return path;
}

PlainFolder CheckFolder(const std::wstring& folder) {
    PlainFolder checked{FullPath(folder), L"", L""};
    ::CreateDirectoryW(checked.path.c_str(), nullptr);
    const AsItself handle(checked.path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                          FILE_FLAG_BACKUP_SEMANTICS);
    const std::wstring resolved = handle ? ResolvedPath(handle.get()) : L"";
    if (!handle || !handle.IsPlain(true) || !SamePath(resolved, checked.path)) {
        checked.failure = L"the folder " + checked.path +
                          L" is not a plain folder at that place (a link leads elsewhere), so "
                          L"Varnok writes nothing there";
        return checked;
    }
    checked.resolved = resolved;
    return checked;
}

UniqueHandle OpenPlainFile(const PlainFolder& folder, const std::wstring& name, DWORD access,
                           DWORD share, DWORD disposition, std::wstring& failure) {
    if (folder.resolved.empty()) {
        failure = folder.failure;
        return {};
    }
    const std::wstring path = folder.path + L"\\" + name;
    AsItself file(path, access, share, disposition, FILE_ATTRIBUTE_NORMAL);
    if (!file) {
        failure = L"error " + std::to_wstring(::GetLastError());
        return {};
    }
    if (!file.IsPlain(false) ||
        !SamePath(ResolvedPath(file.get()), folder.resolved + L"\\" + name)) {
        failure = L"the file " + path +
                  L" is not a plain file at that place (a link leads "
                  L"elsewhere), so Varnok does not use it";
        return {};
    }
    return file.Release();
}
