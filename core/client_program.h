// The TFTP client that Varnok carries, as a program the upload starts and waits for.
// Windows keeps it in a folder of its own and starts it hidden with its output captured
// (win32/roles.h); tests script how it ends.
#pragma once

#include <memory>
#include <optional>
#include <string>

struct ClientEnd {
    unsigned long exitCode = 0;
    std::wstring lastLine; // the last non-empty line the client printed
    std::wstring output;   // all it printed (its last 64 KiB at most)
};

// A TFTP client process that runs on its own.
class RunningClient {
public:
    virtual ~RunningClient() = default;
    // Waits at most `milliseconds` for its end; nothing while it still runs.
    virtual std::optional<ClientEnd> Await(unsigned milliseconds) = 0;
    // Ends it at once.
    virtual void End() = 0;
};

struct ClientStart {
    std::unique_ptr<RunningClient> client; // null when it did not start
    std::wstring failure;
};

class ClientProgram {
public:
    virtual ~ClientProgram() = default;
    // Starts the client with `parameters`, window hidden, its output captured.
    virtual ClientStart Start(const std::wstring& parameters) = 0;
    // Where the client is started from.
    virtual std::wstring Path() = 0;
};
