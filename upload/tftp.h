// Sending a file to a unit with the TFTP client that Varnok carries in its resources and
// writes out as "tftp.exe" in the current directory.
#pragma once

#include <cstdint>
#include <string>

#include "common/address.h"
#include "common/launcher.h"

class TFTP {
public:
    // Writes the client out from resource "EXE" `resourceId` unless a tftp.exe is
    // already in the current directory (then that one is used as it is).
    explicit TFTP(std::uint16_t resourceId);
    virtual ~TFTP() = default;

    // Starts the client hidden: binary PUT of `path` to `address`. True when it started;
    // the started client can then be watched through Client().
    bool Put(const IPv4Address& address, const std::wstring& path);
    const StartedProgram& Client() const { return client_; }

    // "-i <address> PUT <path>", the path in double quotes when it holds a blank or tab
    // (the client would otherwise take it for several arguments).
    static std::wstring PutParameters(const IPv4Address& address, const std::wstring& path);

private:
    StartedProgram client_;
};

// Writes the client out as described above; false when there was nothing to write or
// it could not be written (a half-written file is never left behind).
bool ExtractClient(std::uint16_t resourceId);

// "<current directory>\tftp.exe": the copy ExtractClient wrote or found.
std::wstring ClientPath();
