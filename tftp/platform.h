// What the client needs from the operating system: a monotonic clock, one UDP socket,
// the local file, and the console. platform_posix.cpp and platform_win32.cpp implement
// it; socket.cpp and input_file.cpp hold what both systems share. Nothing else in the
// client knows which system it runs on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tftp/protocol.h"

namespace tftp::sys {

Millis Now();

// One line on stdout or stderr (the line end is added).
void PrintLine(bool error, const std::string& text);

class UdpSocket {
public:
    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Resolves host (IPv4 preferred for names), opens a socket of its family.
    bool Open(const std::string& host, std::uint16_t port, Peer& server, std::string& error);
    bool Send(const Datagram& d);
    // Waits at most timeout for one datagram: 1 received, 0 nothing yet, -1 failure.
    int Receive(Millis timeout, Peer& from, std::vector<std::uint8_t>& buffer);

private:
    std::uintptr_t socket_ = ~std::uintptr_t{0};
    Millis receiveTimeout_ = -1; // as last set on the socket
};

class InputFile : public DataSource {
public:
    InputFile() = default;
    ~InputFile() override;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool Open(const std::string& path);
    std::uint64_t Size() const { return size_; }
    bool Seek(std::uint64_t offset) override;
    std::ptrdiff_t Read(std::uint8_t* buffer, std::size_t size) override;

private:
    // The system's own seek and read, beneath the read-ahead: bytes read, 0 at the end,
    // -1 on a failure.
    bool SeekSystem(std::uint64_t offset);
    std::ptrdiff_t ReadSystem(std::uint8_t* buffer, std::size_t size);

    std::intptr_t handle_ = -1;
    std::uint64_t size_ = 0;
    std::vector<std::uint8_t> ahead_; // read-ahead, so a block is not a system call
    std::size_t aheadPos_ = 0;
};

// Writes into a fresh file beside the destination and renames it into place only on
// Commit, so that a failed transfer leaves any existing file as it was.
class OutputFile : public DataSink {
public:
    OutputFile() = default;
    ~OutputFile() override; // discards an uncommitted file
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Create(const std::string& destination);
    bool Write(const std::uint8_t* data, std::size_t size) override;
    bool Commit();

private:
    void Close();
    std::intptr_t handle_ = -1;
    std::string temporary_;
    std::string destination_;
    bool committed_ = false;
};

} // namespace tftp::sys

namespace tftp {
// The program, given its arguments (UTF-8, without the program name); the exit code.
int RunClient(const std::vector<std::string>& args, bool windowsPaths);
} // namespace tftp
