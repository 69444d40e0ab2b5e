// Varnok's files, the technician's, and the log.
#include "win32/data_store.h"

#include <shlobj.h>

#include <vector>

#include "core/sha256.h"
#include "core/upload.h"
#include "win32/plain_file.h"
#include "win32/win32.h"

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool WriteAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// The whole of an open file, when it is not unreasonably large.
std::optional<std::string> ReadAll(HANDLE file) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file, &size) || size.QuadPart > 64 * 1024 * 1024) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
         read != bytes.size())) {
        return std::nullopt;
    }
    return bytes;
}

// %APPDATA%\Varnok, checked.
PlainFolder VarnoksFolder() {
    return CheckFolder(DataFolder());
}

// `name` in Varnok's folder, read whole; nothing when missing, unreadable or not plain.
std::optional<std::string> ReadPlain(const std::wstring& name) {
    std::wstring failure;
    const UniqueHandle file =
        OpenPlainFile(VarnoksFolder(), name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      OPEN_EXISTING, failure);
    return file ? ReadAll(file.get()) : std::nullopt;
}

} // namespace

std::wstring DataFolder() {
    wchar_t* found = nullptr;
    const HRESULT result = ::SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &found);
    const UniqueTaskString owner(found);
    if (FAILED(result) || !found) {
        return L"";
    }
    return std::wstring(found) + L"\\Varnok";
}

std::wstring SystemErrorText(unsigned long code) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::wstring message = length && text ? std::wstring(text, length) : L"";
    if (text) {
        ::LocalFree(text);
    }
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ' || message.back() == L'.')) {
        message.pop_back();
    }
    return message.empty() ? L"error " + std::to_wstring(code) : message;
}

std::wstring Win32DataStore::PathOf(const std::wstring& name) {
    const std::wstring folder = DataFolder();
    return folder.empty() ? L"" : folder + L"\\" + name; // no folder: every use of it fails
}

std::optional<std::string> Win32DataStore::Read(const std::wstring& name) {
    return ReadPlain(name);
}

bool Win32DataStore::Replace(const std::wstring& name, const std::string& bytes) {
    // Written beside it first, then moved over it, so that a crash or a full disk leaves the
    // old content whole. A move renames a link itself, never what it points to.
    const PlainFolder folder = VarnoksFolder();
    const std::wstring fresh = name + L".new";
    {
        std::wstring failure;
        const UniqueHandle file =
            OpenPlainFile(folder, fresh, GENERIC_WRITE, 0, CREATE_ALWAYS, failure);
        if (!file || !WriteAll(file.get(), bytes) || !::FlushFileBuffers(file.get())) {
            return false;
        }
    }
    return ::MoveFileExW((folder.path + L"\\" + fresh).c_str(),
                         (folder.path + L"\\" + name).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool Win32DataStore::Append(const std::wstring& name, const std::string& header,
                            const std::string& bytes, std::wstring& failure) {
    // In one write, so that two Varnoks appending at once never mix their lines. Reading
    // its size needs FILE_READ_ATTRIBUTES besides the right to append.
    const UniqueHandle file =
        OpenPlainFile(VarnoksFolder(), name, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_ALWAYS, failure);
    if (!file) {
        if (failure.rfind(L"error ", 0) == 0) {
            failure = SystemErrorText(std::stoul(failure.substr(6)));
        }
        return false;
    }
    LARGE_INTEGER size{};
    ::GetFileSizeEx(file.get(), &size);
    if (!WriteAll(file.get(), size.QuadPart == 0 ? header + bytes : bytes)) {
        failure = SystemErrorText(::GetLastError());
        return false;
    }
    return true;
}

bool Win32DataStore::Exists(const std::wstring& name) {
    return ::GetFileAttributesW(PathOf(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Win32DataStore::Remove(const std::wstring& name) {
    // A link is removed as itself, never what it points to.
    return ::DeleteFileW(PathOf(name).c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

std::optional<std::string> Win32DataStore::Take(const std::wstring& name) {
    // Moved aside under a name of this process's own first: the move is one step, so two
    // Varnoks never both take the same lines.
    const std::wstring aside = name + L"." + std::to_wstring(::GetCurrentProcessId()) + L"." +
                               std::to_wstring(::GetTickCount64()) + L".taken";
    const std::wstring path = PathOf(name);
    if (path.empty() || !::MoveFileExW(path.c_str(), PathOf(aside).c_str(), 0)) {
        return std::nullopt;
    }
    std::optional<std::string> bytes = ReadPlain(aside);
    ::DeleteFileW(PathOf(aside).c_str());
    return bytes;
}

bool Win32DataStore::CopyOut(const std::wstring& name, const std::wstring& destination,
                             std::wstring& failure) {
    const std::optional<std::string> bytes = ReadPlain(name);
    if (!bytes) {
        failure = L"the record cannot be read";
        return false;
    }
    return SaveFile(destination, *bytes, failure);
}

bool Win32DataStore::SaveFile(const std::wstring& path, const std::string& bytes,
                              std::wstring& failure) {
    // Where the technician chose to save it, in the Save As dialog.
    const UniqueHandle file = OwnFile(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || !WriteAll(file.get(), bytes)) {
        failure = SystemErrorText(::GetLastError());
        return false;
    }
    return true;
}

std::optional<std::wstring> Win32DataStore::ExistingFile(const std::wstring& typed) {
    const std::wstring cleaned = CleanPath(typed);
    if (cleaned.empty()) {
        return std::nullopt;
    }
    const DWORD length = ::GetFullPathNameW(cleaned.c_str(), 0, nullptr, nullptr);
    if (length == 0) {
        return std::nullopt;
    }
    std::wstring full(length, L'\0');
    full.resize(::GetFullPathNameW(cleaned.c_str(), length, full.data(), nullptr));
    const DWORD attributes = ::GetFileAttributesW(full.c_str());
    if (full.empty() || attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return std::nullopt;
    }
    return full;
}

std::optional<std::string> Win32DataStore::ReadFile(const std::wstring& path) {
    const UniqueHandle file =
        OwnFile(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file ? ReadAll(file.get()) : std::nullopt;
}

namespace {

class OpenImageFile : public HeldImage {
public:
    explicit OpenImageFile(UniqueHandle file) : file_(std::move(file)) {}

private:
    UniqueHandle file_;
};

// The size and SHA-256 of the open `file`, from its beginning.
bool ReadFacts(HANDLE file, FileFacts& facts) {
    Sha256 hash;
    std::vector<std::uint8_t> buffer(64 * 1024);
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
            return false;
        }
        if (got == 0) {
            break;
        }
        hash.Update(buffer.data(), got);
        facts.size += got;
    }
    facts.sha256 = HexDigest(hash.Finish());
    return true;
}

} // namespace

ImageOpening Win32DataStore::OpenImage(const std::wstring& path) {
    // Others may read it (the client does), nobody may write, rename or delete it.
    UniqueHandle file = OwnFile(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ImageOpening opening;
    if (!file) { // a folder lands here too: it opens only with backup semantics
        opening.failure = SystemErrorText(::GetLastError());
        return opening;
    }
    if (!ReadFacts(file.get(), opening.facts)) {
        opening.failure = SystemErrorText(::GetLastError());
        return opening;
    }
    opening.held = std::make_unique<OpenImageFile>(std::move(file));
    return opening;
}

void Win32DataStore::AppendLog(const std::string& bytes) {
    // In the current folder, which may be anybody's: never through a link.
    std::wstring failure;
    const UniqueHandle file =
        OpenPlainFile(CheckFolder(L"."), L"varnok.log", FILE_APPEND_DATA | SYNCHRONIZE, kShareAll,
                      OPEN_ALWAYS, failure);
    if (file) {
        WriteAll(file.get(), bytes);
    }
}
