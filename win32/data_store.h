// The files on Windows: Varnok's own in the user's application-data folder
// (%APPDATA%\Varnok: the kept list of units and the commissioning record), the files the
// technician names, and the diagnostic log in the current folder. Elevated through another
// administrator's account, Varnok writes into that account's folder, which is where its
// own copy of the record is then looked for too.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "core/data_store.h"
#include "win32/plain_file.h"

// Varnok's own files: each use opens the folder afresh and holds it (win32/plain_file.h).
class Win32OwnFiles : public OwnFiles {
public:
    // In %APPDATA%\Varnok, or in `folder` (tests).
    Win32OwnFiles() = default;
    explicit Win32OwnFiles(std::wstring folder) : folder_(std::move(folder)) {}

    std::optional<std::string> Read(const std::wstring& name, FileError& error) override;
    FileError Replace(const std::wstring& name, const std::string& bytes) override;
    FileError Append(const std::wstring& name, const std::string& header,
                     const std::string& bytes) override;
    FileError Remove(const std::wstring& name) override;
    std::unique_ptr<HeldFile> Hold(const std::wstring& name, FileError& error) override;
    std::optional<std::uint64_t> WrittenAt(const std::wstring& name) override;
    std::wstring PathOf(const std::wstring& name) override;
    std::wstring Words(const FileError& error) override;

private:
    HeldFolder Folder(FileError& error) const;

    std::wstring folder_;
};

// The files the technician names, by their paths.
class Win32UserFiles : public UserFiles {
public:
    std::optional<std::wstring> ExistingFile(const std::wstring& typed) override;
    std::optional<std::string> ReadFile(const std::wstring& path, FileError& error) override;
    FileError SaveFile(const std::wstring& path, const std::string& bytes) override;
    ImageOpening OpenImage(const std::wstring& path) override;
    std::wstring Words(const FileError& error) override;
};

// "varnok.log" in the current folder, opened and closed per entry with sharing that denies
// nothing, so another program may read it while Varnok runs; never through a link.
class Win32LogFile : public LogFile {
public:
    void Append(const std::string& bytes) override;
};

// The folder's full path (%APPDATA%\Varnok); empty when the user has none. It is made,
// and checked to be a plain folder there, each time a file in it is used.
std::wstring DataFolder();

// The system's text for an error code, without its line end.
std::wstring SystemErrorText(unsigned long code);
