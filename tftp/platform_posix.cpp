// The client's operating-system edge on POSIX systems: the clock, file descriptors and
// standard output; the socket is socket.cpp's.
#include "tftp/platform.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tftp::sys {

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

bool InputFile::SeekSystem(std::uint64_t offset) {
    return lseek(static_cast<int>(handle_), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

std::ptrdiff_t InputFile::ReadSystem(std::uint8_t* buffer, std::size_t size) {
    ssize_t n;
    do {
        n = read(static_cast<int>(handle_), buffer, size);
    } while (n < 0 && errno == EINTR);
    return n;
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
