// The TFTP client that Varnok carries in its resources, kept as "tftp.exe" in a folder of
// its own that only administrators and the system can change. Varnok runs elevated: a
// client taken from a folder anyone can write (the current one: Downloads, a USB stick)
// could be anybody's program, run with administrator rights.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "win32/win32.h"

// "%ProgramData%\Varnok"; empty when the system names no ProgramData folder.
std::wstring DefaultClientFolder();

// "<folder>\tftp.exe": where the client is kept and started from.
std::wstring ClientPathIn(const std::wstring& folder);

// The bytes of resource "EXE" `resourceId` in the program's own file; empty when it has
// none.
std::span<const std::uint8_t> EmbeddedClient(std::uint16_t resourceId);

// The client ready to be started.
struct PreparedClient {
    std::wstring path; // "<folder>\tftp.exe"
    // Open for reading and shared for reading only: while it is held, nobody can change,
    // replace, rename or delete the file. No handle when the client is not ready.
    UniqueHandle file;
    std::wstring failure; // why it is not ready, as the log says it
};

// Makes sure that `folder` exists with rights only administrators and the system can
// change (a folder someone else made first is taken over: owner and rights set anew, or
// refused), that its tftp.exe holds exactly `image` (written again when missing or
// different, never left half-written), and opens that file. Writes nowhere else.
PreparedClient PrepareClient(const std::wstring& folder, std::span<const std::uint8_t> image);
