// Keeping the embedded TFTP client in its own protected folder.
#include "win32/client_file.h"

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

namespace {

void FreeLocalMemory(PSECURITY_DESCRIPTOR memory) {
    ::LocalFree(memory);
}
using UniqueSecurityDescriptor = UniqueOwner<PSECURITY_DESCRIPTOR, FreeLocalMemory>;

// Full control for the system and Administrators, reading and running for Users, none of
// it inherited from above (ProgramData lets every user add files and folders). The owner
// is Administrators too: an owner may always change an object's rights, so a folder
// someone else made first would otherwise stay theirs to open up again.
constexpr wchar_t kFolderRights[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;GRGX;;;BU)";

std::wstring Failed(const std::wstring& what, DWORD error) {
    return what + L" (error " + std::to_wstring(error) + L").";
}

// Makes `folder` with kFolderRights, or gives an existing one those rights. Returns why
// it cannot be used, or nothing.
std::wstring PrepareFolder(const std::wstring& folder) {
    PSECURITY_DESCRIPTOR made = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kFolderRights, SDDL_REVISION_1,
                                                                &made, nullptr)) {
        return Failed(L"The rights for the folder " + folder + L" cannot be built",
                      ::GetLastError());
    }
    const UniqueSecurityDescriptor rights(made);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, rights.get(), FALSE};
    if (::CreateDirectoryW(folder.c_str(), &attributes)) {
        return {};
    }
    if (const DWORD error = ::GetLastError(); error != ERROR_ALREADY_EXISTS) {
        return Failed(L"The folder " + folder + L" cannot be made", error);
    }

    // There already: made by an earlier run, or by anyone before it, so its owner and
    // rights are set again every time. They are set through a handle on the very object
    // that was checked (a link is opened as itself, not followed), and without delete
    // sharing it cannot be renamed or removed meanwhile: never the rights of whatever a
    // link put in its place points to.
    const UniqueHandle existing = OwnFile(
        ::CreateFileW(folder.c_str(), READ_CONTROL | WRITE_DAC | WRITE_OWNER | FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!existing) {
        return Failed(L"The folder " + folder + L" cannot be opened to set its rights",
                      ::GetLastError());
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(existing.get(), &information) ||
        !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return L"The folder " + folder + L" is not a plain folder.";
    }
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL defaulted = FALSE;
    BOOL present = FALSE;
    ::GetSecurityDescriptorOwner(rights.get(), &owner, &defaulted);
    ::GetSecurityDescriptorDacl(rights.get(), &present, &dacl, &defaulted);
    const DWORD set = ::SetSecurityInfo(existing.get(), SE_FILE_OBJECT,
                                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                            PROTECTED_DACL_SECURITY_INFORMATION,
                                        owner, nullptr, dacl, nullptr);
    if (set != ERROR_SUCCESS) {
        return Failed(L"The rights of the folder " + folder + L" cannot be set", set);
    }
    return {};
}

// The file at `path` opened as PreparedClient holds it, when it holds exactly `image`.
UniqueHandle OpenWhenEqual(const std::wstring& path, std::span<const std::uint8_t> image) {
    UniqueHandle file = OwnFile(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size) ||
        static_cast<unsigned long long>(size.QuadPart) != image.size()) {
        return {};
    }
    std::vector<std::uint8_t> chunk(64 * 1024);
    std::size_t compared = 0;
    while (compared < image.size()) {
        DWORD got = 0;
        if (!::ReadFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got,
                        nullptr) ||
            got == 0 || got > image.size() - compared ||
            !std::equal(chunk.begin(), chunk.begin() + got, image.begin() + compared)) {
            return {};
        }
        compared += got;
    }
    return file;
}

// Writes `image` to `path` beside under another name and moves it into place once
// complete: a client cut short (a full disk) never stays to be started. Returns why it
// could not be written, or nothing.
std::wstring WriteClient(const std::wstring& path, std::span<const std::uint8_t> image) {
    const std::wstring partial = path + L".partial";
    bool written = false;
    DWORD error = ERROR_SUCCESS;
    {
        const UniqueHandle file =
            OwnFile(::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            return Failed(L"The TFTP client cannot be written to " + partial, ::GetLastError());
        }
        DWORD done = 0;
        written = ::WriteFile(file.get(), image.data(), static_cast<DWORD>(image.size()), &done,
                              nullptr) &&
                  done == image.size();
        if (!written) {
            error = ::GetLastError();
            error = error == ERROR_SUCCESS ? ERROR_DISK_FULL : error; // a short write
        }
    }
    if (written && !::MoveFileExW(partial.c_str(), path.c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        written = false;
        error = ::GetLastError();
    }
    if (!written) {
        ::DeleteFileW(partial.c_str());
        return Failed(L"The TFTP client cannot be written to " + path, error);
    }
    return {};
}

} // namespace

std::wstring DefaultClientFolder() {
    std::wstring base;
    PWSTR known = nullptr;
    const HRESULT found = ::SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &known);
    const UniqueTaskString owned(known); // freed even when the call failed
    if (SUCCEEDED(found) && known) {
        base = known;
    } else {
        wchar_t value[MAX_PATH];
        const DWORD n = ::GetEnvironmentVariableW(L"PROGRAMDATA", value, MAX_PATH);
        base.assign(value, n > 0 && n < MAX_PATH ? n : 0);
    }
    while (!base.empty() && base.back() == L'\\') {
        base.pop_back();
    }
    return base.empty() ? base : base + L"\\Varnok";
}

std::span<const std::uint8_t> EmbeddedClient(std::uint16_t resourceId) {
    const HMODULE self = ::GetModuleHandleW(nullptr);
    const HRSRC found = ::FindResourceW(self, MAKEINTRESOURCEW(resourceId), L"EXE");
    const HGLOBAL loaded = found ? ::LoadResource(self, found) : nullptr;
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    const DWORD size = found ? ::SizeofResource(self, found) : 0;
    if (!bytes) {
        return {};
    }
    return {static_cast<const std::uint8_t*>(bytes), size};
}

std::wstring ClientPathIn(const std::wstring& folder) {
    if (folder.empty()) {
        return L"tftp.exe";
    }
    return folder + (folder.back() == L'\\' ? L"" : L"\\") + L"tftp.exe";
}

PreparedClient PrepareClient(const std::wstring& folder, std::span<const std::uint8_t> image) {
    PreparedClient client;
    if (image.empty()) {
        client.failure = L"The program carries no TFTP client.";
        return client;
    }
    if (folder.empty()) {
        client.failure = L"There is no folder for the TFTP client: ProgramData is unknown.";
        return client;
    }
    client.path = ClientPathIn(folder);
    client.failure = PrepareFolder(folder);
    if (!client.failure.empty()) {
        return client;
    }
    // Compared through the handle that is then held until the start: nothing can change
    // the file between the comparison and the start.
    client.file = OpenWhenEqual(client.path, image);
    if (client.file) {
        return client;
    }
    client.failure = WriteClient(client.path, image);
    if (!client.failure.empty()) {
        return client;
    }
    client.file = OpenWhenEqual(client.path, image);
    if (!client.file) {
        client.failure = L"The TFTP client written to " + client.path + L" does not read back.";
    }
    return client;
}
