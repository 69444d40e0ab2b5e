// Varnok's files in the user's application-data folder.
#include "win32/data_files.h"

#include <shlobj.h>

#include "win32/win32.h"

namespace {

void FreeTaskMemory(wchar_t* memory) {
    ::CoTaskMemFree(memory);
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

} // namespace

std::wstring DataFolder() {
    wchar_t* found = nullptr;
    const HRESULT result = ::SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &found);
    const UniqueOwner<wchar_t*, FreeTaskMemory> owner(found);
    if (FAILED(result) || !found) {
        return L"";
    }
    const std::wstring folder = std::wstring(found) + L"\\Varnok";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
    const UniqueHandle file =
        OwnFile(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart > 64 * 1024 * 1024) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
         read != bytes.size())) {
        return std::nullopt;
    }
    return bytes;
}

bool ReplaceWholeFile(const std::wstring& path, const std::string& bytes) {
    const std::wstring fresh = path + L".new";
    {
        const UniqueHandle file =
            OwnFile(::CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file || !WriteAll(file.get(), bytes) || !::FlushFileBuffers(file.get())) {
            ::DeleteFileW(fresh.c_str());
            return false;
        }
    }
    return ::MoveFileExW(fresh.c_str(), path.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool AppendToFile(const std::wstring& path, const std::string& header, const std::string& bytes,
                  std::wstring& failure) {
    const UniqueHandle file = OwnFile(::CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        failure = SystemErrorText(::GetLastError());
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
