// The files Varnok reads and writes: its own in the user's application-data folder (the
// kept list of units, the commissioning record), the files the technician names (a list
// to import, an image to send, where to export the record), and the diagnostic log.
// Windows implements it (win32/data_store.h); tests keep the files in memory.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

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
    std::wstring failure;            // why not
};

class DataStore {
public:
    virtual ~DataStore() = default;

    // Varnok's own files, by name: read whole (nothing when missing or unreadable),
    // replaced whole (the old one stays whole until the new one is complete), appended to
    // (`header` first when the file is new or empty; `failure` says why not), copied to
    // `destination` (`failure` says why not). Their full path, for the technician.
    virtual std::optional<std::string> Read(const std::wstring& name) = 0;
    virtual bool Replace(const std::wstring& name, const std::string& bytes) = 0;
    virtual bool Append(const std::wstring& name, const std::string& header,
                        const std::string& bytes, std::wstring& failure) = 0;
    virtual bool Exists(const std::wstring& name) = 0;
    // Removes it; true when it is gone (or was never there).
    virtual bool Remove(const std::wstring& name) = 0;
    // Reads it and removes it in one step against other Varnoks: what one takes, no other
    // reads; nothing when it is missing or cannot be taken.
    virtual std::optional<std::string> Take(const std::wstring& name) = 0;
    virtual bool CopyOut(const std::wstring& name, const std::wstring& destination,
                         std::wstring& failure) = 0;
    virtual std::wstring PathOf(const std::wstring& name) = 0;

    // A path the technician typed or pasted, cleaned (CleanPath) and made absolute, when
    // it names an existing file.
    virtual std::optional<std::wstring> ExistingFile(const std::wstring& typed) = 0;
    // A file the technician named (in a Save As dialog) written whole; `failure` says why
    // not.
    virtual bool SaveFile(const std::wstring& path, const std::string& bytes,
                          std::wstring& failure) = 0;
    // A file the technician named, read whole; nothing when it cannot be read.
    virtual std::optional<std::string> ReadFile(const std::wstring& path) = 0;
    // Opens an image for reading, others may only read it too, and reads its size and
    // SHA-256 from that handle; fails for a folder, a missing file or one being written.
    virtual ImageOpening OpenImage(const std::wstring& path) = 0;

    // Appends one entry's bytes to the diagnostic log; an entry that cannot be written is
    // dropped.
    virtual void AppendLog(const std::string& bytes) = 0;
};
