// The client's operating-system edge on Windows: Win32 files, the console, starting
// Winsock 2 (the socket itself is socket.cpp's). Paths and messages are UTF-8 inside the
// client and UTF-16 at this edge.
#include "tftp/platform.h"

#include "tftp/socket_api.h"

#include <windows.h>

#include "win32/console_line.h"

#include <cstdlib>

#if defined(__GLIBCXX__)
// libstdc++'s default terminate handler prints the exception's demangled type and so
// links the whole demangler (some 45 KB) into a program that has to stay small.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
} // namespace __gnu_cxx
#endif

namespace tftp::sys {

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
    return w;
}

namespace {

HANDLE Handle(std::intptr_t h) {
    return reinterpret_cast<HANDLE>(h);
}

std::string Utf8(const wchar_t* wide) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) {
        return {};
    }
    std::string s(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, s.data(), n, nullptr, nullptr);
    s.resize(static_cast<std::size_t>(n - 1));
    return s;
}

} // namespace

Millis Now() {
    return static_cast<Millis>(GetTickCount64());
}

void PrintLine(bool error, const std::string& text) {
    WriteConsoleLine(GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE), text);
}

InputFile::~InputFile() {
    if (handle_ != -1) {
        CloseHandle(Handle(handle_));
    }
}

bool InputFile::Open(const std::string& path) {
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h, &size)) {
        return false;
    }
    size_ = static_cast<std::uint64_t>(size.QuadPart);
    return true;
}

bool InputFile::SeekSystem(std::uint64_t offset) {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(Handle(handle_), to, nullptr, FILE_BEGIN) != 0;
}

std::ptrdiff_t InputFile::ReadSystem(std::uint8_t* buffer, std::size_t size) {
    DWORD got = 0;
    if (!ReadFile(Handle(handle_), buffer, static_cast<DWORD>(size), &got, nullptr)) {
        return -1;
    }
    return static_cast<std::ptrdiff_t>(got);
}

OutputFile::~OutputFile() {
    Close();
    if (!committed_ && !temporary_.empty()) {
        DeleteFileW(Wide(temporary_).c_str());
    }
}

void OutputFile::Close() {
    if (handle_ != -1) {
        CloseHandle(Handle(handle_));
        handle_ = -1;
    }
}

bool OutputFile::Create(const std::string& destination) {
    const DWORD attributes = GetFileAttributesW(Wide(destination).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    destination_ = destination;
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        temporary_ = destination + ".tftp-" + std::to_string(GetCurrentProcessId()) + "-" +
                     std::to_string(attempt);
        HANDLE h = CreateFileW(Wide(temporary_).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            handle_ = reinterpret_cast<std::intptr_t>(h);
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    temporary_.clear();
    return false;
}

bool OutputFile::Write(const std::uint8_t* data, std::size_t size) {
    DWORD written = 0;
    return WriteFile(Handle(handle_), data, static_cast<DWORD>(size), &written, nullptr) &&
           written == size;
}

bool OutputFile::Commit() {
    Close();
    if (!MoveFileExW(Wide(temporary_).c_str(), Wide(destination_).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return false;
    }
    committed_ = true;
    return true;
}

} // namespace tftp::sys

int wmain(int argc, wchar_t** argv) {
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
        tftp::sys::PrintLine(true, "Cannot start Windows Sockets");
        return 1;
    }
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(tftp::sys::Utf8(argv[i]));
    }
    const int code = tftp::RunClient(args, true);
    WSACleanup();
    return code;
}
