// The TFTP client that Varnok carries in its resources, written out as "tftp.exe" in the
// current directory.
#pragma once

#include <cstdint>
#include <string>

// Writes the client out from resource "EXE" `resourceId` unless a tftp.exe is already in
// the current directory (then that one is used as it is). False when there was nothing
// to write or it could not be written (a half-written file is never left behind).
bool ExtractClient(std::uint16_t resourceId);

// "<current directory>\tftp.exe": the copy ExtractClient wrote or found.
std::wstring ClientPath();
