// Folders held while their files are used, and files opened relative to them.
#include "win32/plain_file.h"

#include <winternl.h>

#include <utility>
#include <vector>

namespace {

// What a held folder's handle may do: list and traverse it, add files to it (a rename
// into it), read its attributes (the check) and its rights. Others may read and write in it, but no
// one may rename or remove it while it is held.
constexpr ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_TRAVERSE |
                                      FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE;

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

// A plain directory or file (as `directory` says): not a link, and a file with no second
// name elsewhere (a hard link). The handle was opened with FILE_READ_ATTRIBUTES.
bool IsPlain(HANDLE handle, bool directory) {
    BY_HANDLE_FILE_INFORMATION information{};
    return ::GetFileInformationByHandle(handle, &information) &&
           !(information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           static_cast<bool>(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ==
               directory &&
           (directory || information.nNumberOfLinks == 1);
}

FileError NotPlain() {
    return {FileError::NotPlain, 0};
}

FileError FromStatus(NTSTATUS status) {
    return {FileError::System, ::RtlNtStatusToDosError(status)};
}

ULONG NtDisposition(HeldFolder::Disposition disposition) {
    switch (disposition) {
    case HeldFolder::Disposition::Existing:
        return FILE_OPEN;
    case HeldFolder::Disposition::New:
        return FILE_CREATE;
    case HeldFolder::Disposition::EitherWay:
        break;
    }
    return FILE_OPEN_IF;
}

} // namespace

FileError LastError() {
    return {FileError::System, ::GetLastError()};
}

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

HeldFolder HeldFolder::Open(const std::wstring& folder, FileError& error, Creation creation,
                            SECURITY_ATTRIBUTES* rights) {
    HeldFolder held;
    held.path_ = FullPath(folder);
    if (creation != Creation::Never && !::CreateDirectoryW(held.path_.c_str(), rights) &&
        creation == Creation::Anew) {
        error = LastError();
        return held;
    }
    UniqueHandle handle = OwnFile(::CreateFileW(
        held.path_.c_str(), kFolderAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle) {
        error = LastError();
        return held;
    }
    if (!IsPlain(handle.get(), true) || !SamePath(ResolvedPath(handle.get()), held.path_)) {
        error = NotPlain();
        return held;
    }
    held.handle_ = std::move(handle);
    return held;
}

UniqueHandle HeldFolder::OpenFile(const std::wstring& name, ACCESS_MASK access, ULONG share,
                                  Disposition disposition, FileError& error, bool asIs) const {
    UNICODE_STRING relative{static_cast<USHORT>(name.size() * sizeof(wchar_t)),
                            static_cast<USHORT>(name.size() * sizeof(wchar_t)),
                            const_cast<PWSTR>(name.c_str())};
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &relative, OBJ_CASE_INSENSITIVE, handle_.get(),
                               nullptr);
    IO_STATUS_BLOCK status{};
    HANDLE opened = nullptr;
    // NtCreateFile adds no right of its own (CreateFileW would add these two).
    const NTSTATUS result = ::NtCreateFile(
        &opened, access | FILE_READ_ATTRIBUTES | SYNCHRONIZE, &attributes, &status, nullptr,
        FILE_ATTRIBUTE_NORMAL, share, NtDisposition(disposition),
        FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT, nullptr,
        0);
    if (!NT_SUCCESS(result)) {
        error = FromStatus(result);
        return {};
    }
    UniqueHandle file(opened);
    // Windows opens a link as itself here, which the check refuses (but for its own
    // removal); Wine follows a Linux link, which the file's own path then gives away, as it
    // does for a folder moved away since. Such a file is not used, not even to be removed.
    if (!SamePath(ResolvedPath(file.get()), path_ + L"\\" + name) ||
        (!asIs && !IsPlain(file.get(), false))) {
        error = NotPlain();
        return {};
    }
    return file;
}

FileError HeldFolder::Rename(HANDLE file, const std::wstring& name) const {
    // The system's own call, whose name is taken relative to the folder's handle as it
    // stands (SetFileInformationByHandle reads it as a path under Wine). The rename's
    // structure is FILE_RENAME_INFO's, its name following it.
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = handle_.get();
    rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::copy(name.begin(), name.end(), rename->FileName);
    constexpr auto kFileRenameInformation = static_cast<FILE_INFORMATION_CLASS>(10);
    IO_STATUS_BLOCK status{};
    const NTSTATUS result = ::NtSetInformationFile(
        file, &status, rename, static_cast<ULONG>(buffer.size()), kFileRenameInformation);
    return NT_SUCCESS(result) ? FileError{} : FromStatus(result);
}

FileError Discard(HANDLE file) {
    FILE_DISPOSITION_INFO discard{TRUE};
    if (!::SetFileInformationByHandle(file, FileDispositionInfo, &discard, sizeof discard)) {
        return LastError();
    }
    return {};
}
