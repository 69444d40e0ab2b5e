// The TFTP client that Varnok carries in its resources, kept as "tftp.exe" in a folder of
// its own that only administrators and the system can change. Varnok runs elevated: a
// client taken from a folder anyone can write (the current one: Downloads, a USB stick)
// could be anybody's program, run with administrator rights.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "win32/plain_file.h"
#include "win32/win32.h"

// "%ProgramData%\Varnok", where the client is kept when that folder is Varnok's own;
// empty when the system names no ProgramData folder.
std::wstring DefaultClientFolder();

// "<folder>\tftp.exe": where the client is kept and started from.
std::wstring ClientPathIn(const std::wstring& folder);

// The bytes of resource "EXE" `resourceId` in the program's own file; empty when it has
// none.
std::span<const std::uint8_t> EmbeddedClient(std::uint16_t resourceId);

// The client ready to be started.
struct PreparedClient {
    HeldFolder folder; // the client's folder, held: it cannot be renamed or replaced
    std::wstring path; // "<folder>\tftp.exe"
    // Open for reading and shared for reading only: while it is held, nobody can change,
    // replace, rename or delete the file. No handle when the client is not ready.
    UniqueHandle file;
    std::wstring failure; // why it is not ready, as the log says it
};

// The client's folder, of Varnok's own: `preferred` when Varnok or its installer made it
// (owned by Administrators or the system, rights of its own that let nobody else change
// it, nothing in it but the client), else the first folder "<preferred>.<suffix>" beside
// it that is; else one made now with those rights from its first moment (`preferred`
// when nothing is there, else a new "<preferred>.<suffix>"). A folder anybody else made,
// or that is a link, is left as it is. None when none can be made, and why in `failure`.
HeldFolder OwnClientFolder(const std::wstring& preferred, std::wstring& failure);

// The client in its own folder (as OwnClientFolder finds it), holding exactly `image`
// (written again when missing or different, never left half-written), opened. Writes
// nowhere else.
PreparedClient PrepareClient(const std::wstring& preferred, std::span<const std::uint8_t> image);

// Removes the folders OwnClientFolder finds as Varnok's own, with the client in them;
// leaves every other folder as it is. For the program's removal.
void RemoveClientFolders(const std::wstring& preferred);
