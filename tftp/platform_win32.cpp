// The client's operating-system edge on Windows: Winsock 2, Win32 files, the console.
// Paths and messages are UTF-8 inside the client and UTF-16 at this edge.
#include "tftp/platform.h"

#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include "tftp/sockaddr_peer.h"

#include <cstdlib>
#include <cstring>

#if defined(__GLIBCXX__)
// libstdc++'s default terminate handler prints the exception's demangled type and so
// links the whole demangler (some 45 KB) into a program that has to stay small.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
} // namespace __gnu_cxx
#endif

#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace tftp::sys {

using detail::FromPeer;
using detail::ToPeer;

namespace {

SOCKET Sock(std::uintptr_t s) {
    return static_cast<SOCKET>(s);
}

HANDLE Handle(std::intptr_t h) {
    return reinterpret_cast<HANDLE>(h);
}

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
    HANDLE out = GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) {
        return;
    }
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            line.push_back('\r');
        }
        line.push_back(c);
    }
    line += "\r\n";
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(out, &mode)) {
        const std::wstring wide = Wide(line);
        WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
}

UdpSocket::~UdpSocket() {
    if (socket_ != static_cast<std::uintptr_t>(INVALID_SOCKET)) {
        closesocket(Sock(socket_));
    }
}

bool UdpSocket::Open(const std::string& host, std::uint16_t port, Peer& server,
                     std::string& error) {
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    ADDRINFOW* list = nullptr;
    if (GetAddrInfoW(Wide(host).c_str(), nullptr, &hints, &list) != 0 || list == nullptr) {
        error = "Unknown host " + host;
        return false;
    }
    const ADDRINFOW* chosen = list;
    for (const ADDRINFOW* ai = list; ai != nullptr; ai = ai->ai_next) {
        if (ai->ai_family == AF_INET) {
            chosen = ai;
            break;
        }
    }
    sockaddr_storage ss{};
    std::memcpy(&ss, chosen->ai_addr, chosen->ai_addrlen);
    const int family = chosen->ai_family;
    FreeAddrInfoW(list);
    if (family != AF_INET && family != AF_INET6) {
        error = "Unknown host " + host;
        return false;
    }
    server = ToPeer(ss);
    server.port = port;
    const SOCKET s = socket(family, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
        error = "Cannot create a socket (error " + std::to_string(WSAGetLastError()) + ")";
        return false;
    }
    socket_ = static_cast<std::uintptr_t>(s);
    // Windows reports an ICMP port unreachable as a failed receive on the next call;
    // the client wants to keep listening for the real answer instead.
    BOOL report = FALSE;
    DWORD returned = 0;
    WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr, nullptr);
    const int bytes = 1 << 20;
    setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
    setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
    return true;
}

bool UdpSocket::Send(const Datagram& d) {
    sockaddr_storage ss;
    const int len = FromPeer(d.to, ss);
    return sendto(Sock(socket_), reinterpret_cast<const char*>(d.bytes.data()),
                  static_cast<int>(d.bytes.size()), 0, reinterpret_cast<const sockaddr*>(&ss),
                  len) == static_cast<int>(d.bytes.size());
}

int UdpSocket::Receive(Millis timeout, Peer& from, std::vector<std::uint8_t>& buffer) {
    // A blocking receive with a receive timeout: one call per datagram instead of select
    // and receive. Set only when it changes, rounded down to 5 ms; never 0, which would
    // mean no timeout at all.
    Millis wait = timeout > 5 ? timeout - timeout % 5 : 1;
    if (wait > 60000) {
        wait = 60000;
    }
    if (wait != receiveTimeout_) {
        const DWORD ms = static_cast<DWORD>(wait);
        setsockopt(Sock(socket_), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms),
                   sizeof ms);
        receiveTimeout_ = wait;
    }
    buffer.resize(65536 + 4);
    sockaddr_storage ss{};
    int len = sizeof ss;
    const int n =
        recvfrom(Sock(socket_), reinterpret_cast<char*>(buffer.data()),
                 static_cast<int>(buffer.size()), 0, reinterpret_cast<sockaddr*>(&ss), &len);
    if (n < 0) {
        return 0; // WSAETIMEDOUT, or an ICMP error (WSAECONNRESET): the timer decides
    }
    buffer.resize(static_cast<std::size_t>(n));
    from = ToPeer(ss);
    return 1;
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

bool InputFile::Seek(std::uint64_t offset) {
    ahead_.clear();
    aheadPos_ = 0;
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(Handle(handle_), to, nullptr, FILE_BEGIN) != 0;
}

std::ptrdiff_t InputFile::Read(std::uint8_t* buffer, std::size_t size) {
    if (aheadPos_ == ahead_.size()) {
        ahead_.resize(64 * 1024);
        aheadPos_ = 0;
        DWORD got = 0;
        if (!ReadFile(Handle(handle_), ahead_.data(), static_cast<DWORD>(ahead_.size()), &got,
                      nullptr)) {
            ahead_.clear();
            return -1;
        }
        ahead_.resize(got);
        if (got == 0) {
            return 0;
        }
    }
    const std::size_t count = size < ahead_.size() - aheadPos_ ? size : ahead_.size() - aheadPos_;
    std::memcpy(buffer, ahead_.data() + aheadPos_, count);
    aheadPos_ += count;
    return static_cast<std::ptrdiff_t>(count);
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
