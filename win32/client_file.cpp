// Keeping the embedded TFTP client in its own protected folder.
#include "win32/client_file.h"

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>
#include <optional>
#include <vector>

namespace {

void FreeLocalMemory(PSECURITY_DESCRIPTOR memory) {
    ::LocalFree(memory);
}
using UniqueSecurityDescriptor = UniqueOwner<PSECURITY_DESCRIPTOR, FreeLocalMemory>;

// Full control for the system and Administrators, reading and running for Users, none of
// it inherited from above (ProgramData lets every user add files and folders), owned by
// Administrators. Given when the folder is made, so no one else ever held it.
constexpr wchar_t kFolderRights[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;GRGX;;;BU)";

// The only names in a client folder: the client, and its copy while being written.
constexpr wchar_t kClientName[] = L"tftp.exe";
constexpr wchar_t kPartialName[] = L"tftp.exe.partial";

// Rights that let their holder change a file or folder or what it holds.
constexpr ACCESS_MASK kChangingRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                        FILE_DELETE_CHILD | FILE_WRITE_ATTRIBUTES | DELETE |
                                        WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL |
                                        MAXIMUM_ALLOWED | ACCESS_SYSTEM_SECURITY;

std::wstring Failed(const std::wstring& what, unsigned long error) {
    return what + L" (error " + std::to_wstring(error) + L").";
}

bool IsAdministratorsOrSystem(PSID sid) {
    return sid && (::IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
                   ::IsWellKnownSid(sid, WinLocalSystemSid));
}

// Wine keeps no rights on files: it reports some made up from the Unix mode bits (owned by
// the user, never protected) whatever a file was made with, so there they tell nothing.
bool FileRightsKept() {
    return !::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version");
}

// Whether only Administrators and the system can change the object open as `handle`
// (opened with READ_CONTROL): owned by one of them, its rights its own (not inherited
// from above), and nobody else allowed more than reading and running.
bool OnlyAdministratorsChange(HANDLE handle) {
    if (!FileRightsKept()) {
        return true;
    }
    PSID owner = nullptr;
    PACL rights = nullptr;
    PSECURITY_DESCRIPTOR read = nullptr;
    const DWORD got = ::GetSecurityInfo(handle, SE_FILE_OBJECT,
                                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                        &owner, nullptr, &rights, nullptr, &read);
    const UniqueSecurityDescriptor owned(read);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (got != ERROR_SUCCESS || !rights || !IsAdministratorsOrSystem(owner) ||
        !::GetSecurityDescriptorControl(read, &control, &revision) ||
        !(control & SE_DACL_PROTECTED)) {
        return false; // no rights at all (a null DACL) allow everyone everything
    }
    for (DWORD i = 0; i < rights->AceCount; ++i) {
        void* entry = nullptr;
        if (!::GetAce(rights, i, &entry)) {
            return false;
        }
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        if (header->AceType == ACCESS_DENIED_ACE_TYPE) {
            continue;
        }
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            return false; // callback or object entries: not what Varnok writes
        }
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        PSID who = const_cast<DWORD*>(&allowed->SidStart);
        if ((allowed->Mask & kChangingRights) && !IsAdministratorsOrSystem(who)) {
            return false;
        }
    }
    return true;
}

// The names in the held folder (without "." and ".."); nothing when it cannot be read.
std::optional<std::vector<std::wstring>> NamesIn(const HeldFolder& folder) {
    std::vector<std::wstring> names;
    alignas(8) unsigned char buffer[16 * 1024];
    for (auto kind = FileFullDirectoryRestartInfo;; kind = FileFullDirectoryInfo) {
        if (!::GetFileInformationByHandleEx(folder.Handle(), kind, buffer, sizeof buffer)) {
            if (::GetLastError() == ERROR_NO_MORE_FILES) {
                return names;
            }
            return std::nullopt;
        }
        for (std::size_t at = 0;;) {
            const auto* entry = reinterpret_cast<const FILE_FULL_DIR_INFO*>(buffer + at);
            std::wstring name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..") {
                names.push_back(std::move(name));
            }
            if (entry->NextEntryOffset == 0) {
                break;
            }
            at += entry->NextEntryOffset;
        }
    }
}

// Whether the held folder is one Varnok (or its installer) made for the client: only
// administrators can change it, and it holds nothing but the client (and its partial
// copy), each a plain file only administrators can change. Anything else in it (a
// manifest beside the client, a DLL, a folder) was put there by someone else, whose
// rights may reach further than Varnok can see.
bool IsOwnClientFolder(const HeldFolder& folder) {
    const std::optional<std::vector<std::wstring>> names = NamesIn(folder);
    if (!names || !OnlyAdministratorsChange(folder.Handle())) {
        return false;
    }
    for (const std::wstring& name : *names) {
        if (name != kClientName && name != kPartialName) {
            return false;
        }
        FileError error;
        const UniqueHandle file = folder.OpenFile(
            name, READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            HeldFolder::Disposition::Existing, error);
        if (!file || !OnlyAdministratorsChange(file.get())) {
            return false;
        }
    }
    return true;
}

// The folders that may be the client's: `preferred` itself, then those named
// "<preferred>.<anything>" beside it. Names alone are worth nothing: anyone may make them.
std::vector<std::wstring> CandidateFolders(const std::wstring& preferred) {
    std::vector<std::wstring> found{preferred};
    const std::size_t slash = preferred.find_last_of(L'\\');
    const std::wstring parent = preferred.substr(0, slash == std::wstring::npos ? 0 : slash + 1);
    WIN32_FIND_DATAW entry{};
    const HANDLE search = ::FindFirstFileExW((preferred + L".*").c_str(), FindExInfoBasic, &entry,
                                             FindExSearchLimitToDirectories, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        return found;
    }
    do {
        const std::wstring path = parent + entry.cFileName;
        if (path.size() > preferred.size() && path[preferred.size()] == L'.') {
            found.push_back(path);
        }
    } while (::FindNextFileW(search, &entry));
    ::FindClose(search);
    return found;
}

// A name for a new folder beside `preferred` that is unlikely to be taken.
std::wstring FreshName(const std::wstring& preferred, unsigned attempt) {
    LARGE_INTEGER counter{};
    ::QueryPerformanceCounter(&counter);
    const unsigned long long mixed =
        static_cast<unsigned long long>(counter.QuadPart) * 2654435761u ^
        (static_cast<unsigned long long>(::GetCurrentProcessId()) << 20) ^ attempt;
    wchar_t suffix[17];
    ::swprintf(suffix, 17, L"%08llx", mixed & 0xffffffffull);
    return preferred + L"." + suffix;
}

// A folder for the client made now with kFolderRights from its first moment: `preferred`
// when nothing is there, else a new one beside it.
HeldFolder MakeClientFolder(const std::wstring& preferred, std::wstring& failure) {
    PSECURITY_DESCRIPTOR made = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kFolderRights, SDDL_REVISION_1,
                                                                &made, nullptr)) {
        failure = Failed(L"The rights for the folder " + preferred + L" cannot be built",
                         ::GetLastError());
        return {};
    }
    const UniqueSecurityDescriptor rights(made);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, rights.get(), FALSE};
    FileError error;
    for (unsigned attempt = 0; attempt < 16; ++attempt) {
        const std::wstring path = attempt == 0 ? preferred : FreshName(preferred, attempt);
        HeldFolder folder = HeldFolder::Open(path, error, HeldFolder::Creation::Anew, &attributes);
        if (folder || error.code != ERROR_ALREADY_EXISTS) {
            if (!folder) {
                failure = error.kind == FileError::NotPlain
                              ? L"The folder " + path + L" is not a plain folder."
                              : Failed(L"The folder " + path + L" cannot be made", error.code);
            }
            return folder;
        }
    }
    failure = Failed(L"No folder for the TFTP client can be made beside " + preferred,
                     ERROR_ALREADY_EXISTS);
    return {};
}

// The file at `name` in `folder` opened as PreparedClient holds it, when it holds exactly
// `image`.
UniqueHandle OpenWhenEqual(const HeldFolder& folder, std::span<const std::uint8_t> image) {
    FileError error;
    UniqueHandle file = folder.OpenFile(kClientName, GENERIC_READ, FILE_SHARE_READ,
                                        HeldFolder::Disposition::Existing, error);
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

// Writes `image` into the folder under another name and renames it into place once
// complete: a client cut short (a full disk) never stays to be started. Returns why it
// could not be written, or nothing.
std::wstring WriteClient(const HeldFolder& folder, std::span<const std::uint8_t> image) {
    const std::wstring path = ClientPathIn(folder.Path());
    FileError error;
    const UniqueHandle file = folder.OpenFile(kPartialName, GENERIC_WRITE | DELETE, 0,
                                              HeldFolder::Disposition::EitherWay, error);
    if (!file) {
        return Failed(L"The TFTP client cannot be written to " + path + L".partial",
                      error.kind == FileError::System ? error.code : ERROR_ACCESS_DENIED);
    }
    DWORD done = 0;
    const bool written =
        ::SetEndOfFile(file.get()) &&
        ::WriteFile(file.get(), image.data(), static_cast<DWORD>(image.size()), &done, nullptr) &&
        done == image.size() && ::FlushFileBuffers(file.get());
    if (!written) {
        const DWORD why = ::GetLastError();
        Discard(file.get());
        return Failed(L"The TFTP client cannot be written to " + path,
                      why == ERROR_SUCCESS ? ERROR_DISK_FULL : why); // a short write
    }
    if (const FileError renamed = folder.Rename(file.get(), kClientName)) {
        Discard(file.get());
        return Failed(L"The TFTP client cannot be written to " + path, renamed.code);
    }
    return {};
}

} // namespace

HeldFolder OwnClientFolder(const std::wstring& preferred, std::wstring& failure) {
    for (const std::wstring& candidate : CandidateFolders(preferred)) {
        FileError error;
        HeldFolder folder = HeldFolder::Open(candidate, error, HeldFolder::Creation::Never);
        if (folder && IsOwnClientFolder(folder)) {
            return folder;
        }
    }
    return MakeClientFolder(preferred, failure);
}

void RemoveClientFolders(const std::wstring& preferred) {
    for (const std::wstring& candidate : CandidateFolders(preferred)) {
        FileError error;
        HeldFolder folder = HeldFolder::Open(candidate, error, HeldFolder::Creation::Never);
        if (!folder || !IsOwnClientFolder(folder)) {
            continue; // someone else's: not Varnok's to remove
        }
        for (const wchar_t* name : {kClientName, kPartialName}) {
            if (const UniqueHandle file = folder.OpenFile(
                    name, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    HeldFolder::Disposition::Existing, error)) {
                Discard(file.get());
            }
        }
        const std::wstring path = folder.Path();
        folder = {};
        // Only administrators could rename it meanwhile, and an empty folder alone goes.
        ::RemoveDirectoryW(path.c_str());
    }
}

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

PreparedClient PrepareClient(const std::wstring& preferred, std::span<const std::uint8_t> image) {
    PreparedClient client;
    if (image.empty()) {
        client.failure = L"The program carries no TFTP client.";
        return client;
    }
    if (preferred.empty()) {
        client.failure = L"There is no folder for the TFTP client: ProgramData is unknown.";
        return client;
    }
    client.folder = OwnClientFolder(preferred, client.failure);
    if (!client.folder) {
        return client;
    }
    client.path = ClientPathIn(client.folder.Path());
    // Compared through the handle that is then held until the start: nothing can change
    // the file between the comparison and the start.
    client.file = OpenWhenEqual(client.folder, image);
    if (client.file) {
        return client;
    }
    client.failure = WriteClient(client.folder, image);
    if (!client.failure.empty()) {
        return client;
    }
    client.file = OpenWhenEqual(client.folder, image);
    if (!client.file) {
        client.failure = L"The TFTP client written to " + client.path + L" does not read back.";
    }
    return client;
}
