// The client's operating-system edge on POSIX systems: BSD sockets, file descriptors.
#include "tftp/platform.h"

#include <arpa/inet.h>
#include <sys/time.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tftp/sockaddr_peer.h"

namespace tftp::sys {

using detail::FromPeer;
using detail::ToPeer;

namespace {

constexpr std::uintptr_t kNoSocket = ~std::uintptr_t{0};

int Fd(std::uintptr_t s) {
    return static_cast<int>(s);
}

} // namespace

Millis Now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<Millis>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void PrintLine(bool error, const std::string& text) {
    std::FILE* f = error ? stderr : stdout;
    std::fputs(text.c_str(), f);
    std::fputc('\n', f);
    std::fflush(f);
}

UdpSocket::~UdpSocket() {
    if (socket_ != kNoSocket) {
        close(Fd(socket_));
    }
}

bool UdpSocket::Open(const std::string& host, std::uint16_t port, Peer& server,
                     std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || list == nullptr) {
        error = "Unknown host " + host;
        return false;
    }
    const addrinfo* chosen = list;
    for (const addrinfo* ai = list; ai != nullptr; ai = ai->ai_next) {
        if (ai->ai_family == AF_INET) {
            chosen = ai;
            break;
        }
    }
    sockaddr_storage ss{};
    std::memcpy(&ss, chosen->ai_addr, chosen->ai_addrlen);
    const int family = chosen->ai_family;
    freeaddrinfo(list);
    if (family != AF_INET && family != AF_INET6) {
        error = "Unknown host " + host;
        return false;
    }
    server = ToPeer(ss);
    server.port = port;
    const int fd = socket(family, SOCK_DGRAM, 0);
    if (fd < 0) {
        error = std::string("Cannot create a socket: ") + std::strerror(errno);
        return false;
    }
    socket_ = static_cast<std::uintptr_t>(fd);
    // Room for a whole window of large blocks arriving at once.
    const int bytes = 1 << 20;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
    return true;
}

bool UdpSocket::Send(const Datagram& d) {
    sockaddr_storage ss;
    const socklen_t len = FromPeer(d.to, ss);
    return sendto(Fd(socket_), d.bytes.data(), d.bytes.size(), 0,
                  reinterpret_cast<const sockaddr*>(&ss),
                  len) == static_cast<ssize_t>(d.bytes.size());
}

int UdpSocket::Receive(Millis timeout, Peer& from, std::vector<std::uint8_t>& buffer) {
    // A blocking receive with a receive timeout costs one system call per datagram where
    // poll and receive would cost two. The timeout is set only when it changes, rounded
    // down to 5 ms: waking a little early just means one more turn of the loop.
    Millis wait = timeout > 5 ? timeout - timeout % 5 : 1;
    if (wait > 60000) {
        wait = 60000;
    }
    if (wait != receiveTimeout_) {
        timeval tv{};
        tv.tv_sec = static_cast<time_t>(wait / 1000);
        tv.tv_usec = static_cast<suseconds_t>((wait % 1000) * 1000);
        setsockopt(Fd(socket_), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        receiveTimeout_ = wait;
    }
    buffer.resize(65536 + 4);
    sockaddr_storage ss{};
    socklen_t len = sizeof ss;
    const ssize_t n = recvfrom(Fd(socket_), buffer.data(), buffer.size(), 0,
                               reinterpret_cast<sockaddr*>(&ss), &len);
    if (n < 0) {
        // Nothing yet, or an ICMP error for an earlier datagram: the timer decides.
        return 0;
    }
    buffer.resize(static_cast<std::size_t>(n));
    from = ToPeer(ss);
    return 1;
}

InputFile::~InputFile() {
    if (handle_ >= 0) {
        close(static_cast<int>(handle_));
    }
}

bool InputFile::Open(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    handle_ = fd;
    struct stat st {};
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        return false;
    }
    size_ = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool InputFile::Seek(std::uint64_t offset) {
    ahead_.clear();
    aheadPos_ = 0;
    return lseek(static_cast<int>(handle_), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

std::ptrdiff_t InputFile::Read(std::uint8_t* buffer, std::size_t size) {
    if (aheadPos_ == ahead_.size()) {
        ahead_.resize(64 * 1024);
        aheadPos_ = 0;
        ssize_t n;
        do {
            n = read(static_cast<int>(handle_), ahead_.data(), ahead_.size());
        } while (n < 0 && errno == EINTR);
        ahead_.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        if (n <= 0) {
            return n;
        }
    }
    const std::size_t count = std::min(size, ahead_.size() - aheadPos_);
    std::memcpy(buffer, ahead_.data() + aheadPos_, count);
    aheadPos_ += count;
    return static_cast<std::ptrdiff_t>(count);
}

OutputFile::~OutputFile() {
    Close();
    if (!committed_ && !temporary_.empty()) {
        unlink(temporary_.c_str());
    }
}

void OutputFile::Close() {
    if (handle_ >= 0) {
        close(static_cast<int>(handle_));
        handle_ = -1;
    }
}

bool OutputFile::Create(const std::string& destination) {
    struct stat st {};
    if (stat(destination.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        return false;
    }
    destination_ = destination;
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        temporary_ =
            destination + ".tftp-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
        const int fd = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            handle_ = fd;
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    temporary_.clear();
    return false;
}

bool OutputFile::Write(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(static_cast<int>(handle_), data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool OutputFile::Commit() {
    const bool closed = close(static_cast<int>(handle_)) == 0;
    handle_ = -1;
    if (!closed || rename(temporary_.c_str(), destination_.c_str()) != 0) {
        return false;
    }
    committed_ = true;
    return true;
}

} // namespace tftp::sys

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return tftp::RunClient(args, false);
}
