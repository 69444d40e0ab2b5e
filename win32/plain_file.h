// Files in folders a standard user can write (their application-data folder, the current
// folder), opened by a program that runs elevated: a link there (a junction, a symbolic
// link) must never make it create, write or read anything elsewhere. Every file is opened
// as itself, never through a link, and only used when it is a plain file at exactly the
// place asked for, in a plain folder.
#pragma once

#include <string>

#include "win32/win32.h"

// A folder checked to be a plain folder (no link anywhere on its way): its path as asked
// for, and as the system resolves it; or why it may not be used.
struct PlainFolder {
    std::wstring path;
    std::wstring resolved; // empty when it may not be used
    std::wstring failure;
};

// `folder`, made when missing, when it is a plain folder at that very place.
PlainFolder CheckFolder(const std::wstring& folder);

// `name` in `folder`, opened as itself (CreateFileW's access, sharing and disposition;
// FILE_READ_ATTRIBUTES is always added, as the check needs it), when it is a plain file
// there; no handle, and why, otherwise. A file it made that turns out not to be plain is
// not written to.
UniqueHandle OpenPlainFile(const PlainFolder& folder, const std::wstring& name, DWORD access,
                           DWORD share, DWORD disposition, std::wstring& failure);

// The path the system resolves an open file or folder to, in the usual form (without
// "\\?\"); empty when it cannot say.
std::wstring ResolvedPath(HANDLE handle);
