// Varnok's files, the technician's, and the log.
#include "win32/data_store.h"

#include <shlobj.h>

#include <vector>

#include "core/sha256.h"
#include "core/upload.h"
#include "win32/plain_file.h"
#include "win32/win32.h"

namespace {

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// A pending file another Varnok holds is let go within moments: waited for this long.
constexpr int kHoldAttempts = 20;
constexpr DWORD kHoldRetryMs = 50;

FileError WriteAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        return LastError();
    }
    return {};
}

// The whole of an open file from its beginning, when it is not unreasonably large.
std::optional<std::string> ReadAll(HANDLE file, FileError& error) {
    LARGE_INTEGER size{};
    const LARGE_INTEGER start{};
    if (!::GetFileSizeEx(file, &size) || !::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) {
        error = LastError();
        return std::nullopt;
    }
    if (size.QuadPart > 64 * 1024 * 1024) {
        error = {FileError::System, ERROR_FILE_TOO_LARGE};
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
         read != bytes.size())) {
        error = LastError();
        return std::nullopt;
    }
    return bytes;
}

// One of Varnok's files held by this process alone, through one handle.
class Win32HeldFile : public HeldFile {
public:
    explicit Win32HeldFile(UniqueHandle file) : file_(std::move(file)) {}

    std::optional<std::string> ReadAll(FileError& error) override {
        return ::ReadAll(file_.get(), error);
    }
    FileError Add(const std::string& bytes) override {
        const LARGE_INTEGER none{};
        if (!::SetFilePointerEx(file_.get(), none, nullptr, FILE_END)) {
            return LastError();
        }
        return WriteAll(file_.get(), bytes);
    }
    FileError Empty() override {
        const LARGE_INTEGER start{};
        if (!::SetFilePointerEx(file_.get(), start, nullptr, FILE_BEGIN) ||
            !::SetEndOfFile(file_.get())) {
            return LastError();
        }
        return Discard(file_.get());
    }

private:
    UniqueHandle file_;
};

std::wstring NotPlainText() {
    return L"a link leads from there elsewhere, so Varnok does not use it";
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

// Varnok's folder, held for one use.
HeldFolder Win32OwnFiles::Folder(FileError& error) const {
    const std::wstring folder = folder_.empty() ? DataFolder() : folder_;
    if (folder.empty()) {
        error = {FileError::System, ERROR_PATH_NOT_FOUND};
        return {};
    }
    return HeldFolder::Open(folder, error);
}

std::wstring Win32OwnFiles::PathOf(const std::wstring& name) {
    const std::wstring folder = folder_.empty() ? DataFolder() : folder_;
    return folder.empty() ? L"" : folder + L"\\" + name; // no folder: every use of it fails
}

std::wstring Win32OwnFiles::Words(const FileError& error) {
    return error.kind == FileError::NotPlain ? NotPlainText() : SystemErrorText(error.code);
}

std::optional<std::string> Win32OwnFiles::Read(const std::wstring& name, FileError& error) {
    const HeldFolder folder = Folder(error);
    if (!folder) {
        return std::nullopt;
    }
    FileError opening;
    const UniqueHandle file =
        folder.OpenFile(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        HeldFolder::Disposition::Existing, opening);
    if (!file) {
        const bool missing =
            opening.kind == FileError::System &&
            (opening.code == ERROR_FILE_NOT_FOUND || opening.code == ERROR_PATH_NOT_FOUND);
        if (!missing) {
            error = opening;
        }
        return std::nullopt;
    }
    return ::ReadAll(file.get(), error);
}

FileError Win32OwnFiles::Replace(const std::wstring& name, const std::string& bytes) {
    // Written beside it first, as a file made now, then renamed over it: a crash or a full
    // disk leaves the old content whole, and whatever lay at the fresh name (a leftover, a
    // link) is removed as itself first, never written through.
    FileError error;
    const HeldFolder folder = Folder(error);
    if (!folder) {
        return error;
    }
    const std::wstring fresh = name + L".new";
    if (const UniqueHandle left = folder.OpenFile(fresh, DELETE, kShareAll,
                                                  HeldFolder::Disposition::Existing, error, true)) {
        Discard(left.get());
    }
    error = {};
    const UniqueHandle file =
        folder.OpenFile(fresh, GENERIC_WRITE | DELETE, 0, HeldFolder::Disposition::New, error);
    if (!file) {
        return error;
    }
    if (const FileError written = WriteAll(file.get(), bytes); written) {
        Discard(file.get());
        return written;
    }
    if (!::FlushFileBuffers(file.get())) {
        const FileError flushed = LastError();
        Discard(file.get());
        return flushed;
    }
    const FileError renamed = folder.Rename(file.get(), name);
    if (renamed) {
        Discard(file.get());
    }
    return renamed;
}

FileError Win32OwnFiles::Append(const std::wstring& name, const std::string& header,
                                const std::string& bytes) {
    // In one write, so that two Varnoks appending at once never mix their lines.
    FileError error;
    const HeldFolder folder = Folder(error);
    if (!folder) {
        return error;
    }
    const UniqueHandle file =
        folder.OpenFile(name, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        HeldFolder::Disposition::EitherWay, error);
    if (!file) {
        return error;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) {
        return LastError();
    }
    return WriteAll(file.get(), size.QuadPart == 0 ? header + bytes : bytes);
}

FileError Win32OwnFiles::Remove(const std::wstring& name) {
    // A link is removed as itself, never what it leads to.
    FileError error;
    const HeldFolder folder = Folder(error);
    if (!folder) {
        return error;
    }
    const UniqueHandle file =
        folder.OpenFile(name, DELETE, kShareAll, HeldFolder::Disposition::Existing, error, true);
    if (!file) {
        const bool missing = error.kind == FileError::System && error.code == ERROR_FILE_NOT_FOUND;
        return missing ? FileError{} : error;
    }
    return Discard(file.get());
}

std::unique_ptr<HeldFile> Win32OwnFiles::Hold(const std::wstring& name, FileError& error) {
    const HeldFolder folder = Folder(error);
    if (!folder) {
        return nullptr;
    }
    for (int attempt = 0;; ++attempt) {
        error = {};
        UniqueHandle file = folder.OpenFile(name, GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                                            HeldFolder::Disposition::EitherWay, error);
        if (file) {
            return std::make_unique<Win32HeldFile>(std::move(file));
        }
        const bool held = error.kind == FileError::System && error.code == ERROR_SHARING_VIOLATION;
        if (!held || attempt + 1 == kHoldAttempts) {
            return nullptr;
        }
        ::Sleep(kHoldRetryMs);
    }
}

std::optional<std::uint64_t> Win32OwnFiles::WrittenAt(const std::wstring& name) {
    FileError error;
    const HeldFolder folder = Folder(error);
    const UniqueHandle file = folder ? folder.OpenFile(name, FILE_READ_ATTRIBUTES, kShareAll,
                                                       HeldFolder::Disposition::Existing, error)
                                     : UniqueHandle();
    BY_HANDLE_FILE_INFORMATION information{};
    if (!file || !::GetFileInformationByHandle(file.get(), &information)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(information.ftLastWriteTime.dwHighDateTime) << 32 |
           information.ftLastWriteTime.dwLowDateTime;
}

std::wstring Win32UserFiles::Words(const FileError& error) {
    return error.kind == FileError::NotPlain ? NotPlainText() : SystemErrorText(error.code);
}

FileError Win32UserFiles::SaveFile(const std::wstring& path, const std::string& bytes) {
    // Where the technician chose to save it, in the Save As dialog.
    const UniqueHandle file = OwnFile(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return LastError();
    }
    return WriteAll(file.get(), bytes);
}

std::optional<std::wstring> Win32UserFiles::ExistingFile(const std::wstring& typed) {
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

std::optional<std::string> Win32UserFiles::ReadFile(const std::wstring& path, FileError& error) {
    const UniqueHandle file =
        OwnFile(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        error = LastError();
        return std::nullopt;
    }
    return ::ReadAll(file.get(), error);
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

ImageOpening Win32UserFiles::OpenImage(const std::wstring& path) {
    // Others may read it (the client does), nobody may write, rename or delete it.
    UniqueHandle file = OwnFile(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ImageOpening opening;
    if (!file) { // a folder lands here too: it opens only with backup semantics
        opening.error = LastError();
        return opening;
    }
    if (!ReadFacts(file.get(), opening.facts)) {
        opening.error = LastError();
        return opening;
    }
    opening.held = std::make_unique<OpenImageFile>(std::move(file));
    return opening;
}

void Win32LogFile::Append(const std::string& bytes) {
    // In the current folder, which may be anybody's: held while written, never through a
    // link.
    FileError error;
    const HeldFolder folder = HeldFolder::Open(L".", error);
    const UniqueHandle file = folder ? folder.OpenFile(L"varnok.log", FILE_APPEND_DATA, kShareAll,
                                                       HeldFolder::Disposition::EitherWay, error)
                                     : UniqueHandle();
    if (file) {
        WriteAll(file.get(), bytes);
    }
}
