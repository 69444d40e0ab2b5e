// The files Varnok reads and writes, by concern: its own in the user's application-data
// folder (the kept list of units, the commissioning record), the files the technician
// names (a list to import, an image to send, where to save an export), and the diagnostic
// log. Windows implements them (win32/data_store.h); tests keep the files in memory.
// Failures travel as codes; the role gives them words for the technician.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// Why an operation on a file failed: the system's error code, or that the place is not
// Varnok's own (a link leads elsewhere, so nothing is done there).
struct FileError {
    enum Kind { None, NotPlain, System };
    Kind kind = None;
    unsigned long code = 0; // System: the system's error code

    explicit operator bool() const { return kind != None; }
};

// One of Varnok's own files held by this process alone until let go: no other program,
// and no other Varnok, can open it meanwhile. It is read, added to and emptied through
// that one handle, never found again by its name.
class HeldFile {
public:
    virtual ~HeldFile() = default;
    // Its whole content.
    virtual std::optional<std::string> ReadAll(FileError& error) = 0;
    // `bytes` added at its end.
    virtual FileError Add(const std::string& bytes) = 0;
    // Emptied; the file goes when it is let go.
    virtual FileError Empty() = 0;
};

// Varnok's own files, by name, in its folder: each opened as itself, in a folder known to
// be Varnok's own, never through a link.
class OwnFiles {
public:
    virtual ~OwnFiles() = default;
    // Read whole; nothing when missing (no error) or unreadable (`error` says why).
    virtual std::optional<std::string> Read(const std::wstring& name, FileError& error) = 0;
    // Replaced whole: the old one stays whole until the new one is complete.
    virtual FileError Replace(const std::wstring& name, const std::string& bytes) = 0;
    // Appended to in one write, `header` first when the file is new or empty.
    virtual FileError Append(const std::wstring& name, const std::string& header,
                             const std::string& bytes) = 0;
    // Gone (or never there).
    virtual FileError Remove(const std::wstring& name) = 0;
    // Opened for this process alone (made when missing): nothing when another program or
    // Varnok holds it (`error` says why).
    virtual std::unique_ptr<HeldFile> Hold(const std::wstring& name, FileError& error) = 0;
    // When it was last written (comparable between Varnok's files); nothing when missing.
    virtual std::optional<std::uint64_t> WrittenAt(const std::wstring& name) = 0;
    // Its full path, for the technician.
    virtual std::wstring PathOf(const std::wstring& name) = 0;
    // Words for the technician: the system's own for its codes.
    virtual std::wstring Words(const FileError& error) = 0;
};

// A file's size and SHA-256 (64 lowercase hex digits).
struct FileFacts {
    std::uint64_t size = 0;
    std::string sha256;
};

// An image held open while it is sent: nobody can change, replace or delete it meanwhile,
// so the record names exactly what was sent. Let go when destroyed.
class HeldImage {
public:
    virtual ~HeldImage() = default;
};

struct ImageOpening {
    std::unique_ptr<HeldImage> held; // null when it cannot be opened so
    FileFacts facts;                 // read from the held file
    FileError error;                 // why not
};

// The files the technician names, by the path they gave.
class UserFiles {
public:
    virtual ~UserFiles() = default;
    // A path typed or pasted, cleaned (CleanPath) and made absolute, when it names an
    // existing file.
    virtual std::optional<std::wstring> ExistingFile(const std::wstring& typed) = 0;
    // Read whole; nothing when it cannot be read (`error` says why).
    virtual std::optional<std::string> ReadFile(const std::wstring& path, FileError& error) = 0;
    // Written whole where they chose in a Save As dialog.
    virtual FileError SaveFile(const std::wstring& path, const std::string& bytes) = 0;
    // Opens an image for reading, others may only read it too, and reads its size and
    // SHA-256 from that handle; fails for a folder, a missing file or one being written.
    virtual ImageOpening OpenImage(const std::wstring& path) = 0;
    // Words for the technician.
    virtual std::wstring Words(const FileError& error) = 0;
};

// The diagnostic log's file.
class LogFile {
public:
    virtual ~LogFile() = default;
    // One entry's bytes appended; an entry that cannot be written is dropped.
    virtual void Append(const std::string& bytes) = 0;
};
