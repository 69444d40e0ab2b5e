// Files in folders a standard user can write (their application-data folder, the current
// folder), used by a program that runs elevated: a link there (a junction, a symbolic
// link, an object-manager link swapped in after a check) must never make it create,
// write, rename, read or delete anything elsewhere. The folder is opened once for each
// use, checked to be a plain folder at exactly that place, and held meanwhile, so that it
// cannot be renamed or replaced; every file in it is opened, made, renamed or removed
// relative to that handle, never by its path again.
#pragma once

#include <string>

#include "core/data_store.h"
#include "win32/win32.h"

class HeldFolder {
public:
    // Whether a folder is made: when missing, never, or anew (one that is there already is
    // refused, with ERROR_ALREADY_EXISTS).
    enum class Creation { WhenMissing, Never, Anew };
    // `folder`, held when it is a plain folder at that very place; otherwise none, and
    // why. A folder made here gets `rights` (none: the parent's) from its first moment.
    static HeldFolder Open(const std::wstring& folder, FileError& error,
                           Creation creation = Creation::WhenMissing,
                           SECURITY_ATTRIBUTES* rights = nullptr);

    explicit operator bool() const { return static_cast<bool>(handle_); }
    const std::wstring& Path() const { return path_; }
    // The handle it is held by (its rights can be read through it).
    HANDLE Handle() const { return handle_.get(); }

    // How a file is opened: one that is there, one made now (never one that was there),
    // or either. Nothing is ever emptied on opening.
    enum class Disposition { Existing, New, EitherWay };
    // `name` in the folder, opened as itself with `access` (FILE_READ_ATTRIBUTES and
    // SYNCHRONIZE are always added: the check below needs them) and `share`. A file that
    // is not plain (a link, a second name elsewhere) is refused as such, unless `asIs`
    // (to remove a link itself); one that is not at this place is refused always.
    UniqueHandle OpenFile(const std::wstring& name, ACCESS_MASK access, ULONG share,
                          Disposition disposition, FileError& error, bool asIs = false) const;
    // The open `file` (opened with DELETE) renamed to `name` in this folder, replacing what
    // is there under that name (a link as itself, never what it leads to).
    FileError Rename(HANDLE file, const std::wstring& name) const;

private:
    UniqueHandle handle_;
    std::wstring path_;
};

// The open `file` (opened with DELETE) removed once its last handle closes.
FileError Discard(HANDLE file);

// The path the system resolves an open file or folder to, in the usual form (without
// "\\?\"); empty when it cannot say.
std::wstring ResolvedPath(HANDLE handle);

// The failure of the last call on this thread.
FileError LastError();
