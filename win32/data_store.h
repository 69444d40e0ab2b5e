// The data store on Windows: Varnok's own files in the user's application-data folder
// (%APPDATA%\Varnok: the kept list of units and the commissioning record), the files the
// technician names, and the diagnostic log in the current folder. Elevated through another
// administrator's account, Varnok writes into that account's folder, which is where its
// own copy of the record is then looked for too.
#pragma once

#include <optional>
#include <string>

#include "core/data_store.h"

class Win32DataStore : public DataStore {
public:
    std::optional<std::string> Read(const std::wstring& name) override;
    bool Replace(const std::wstring& name, const std::string& bytes) override;
    bool Append(const std::wstring& name, const std::string& header, const std::string& bytes,
                std::wstring& failure) override;
    bool Exists(const std::wstring& name) override;
    bool Remove(const std::wstring& name) override;
    std::optional<std::string> Take(const std::wstring& name) override;
    bool SaveFile(const std::wstring& path, const std::string& bytes,
                  std::wstring& failure) override;
    bool CopyOut(const std::wstring& name, const std::wstring& destination,
                 std::wstring& failure) override;
    std::wstring PathOf(const std::wstring& name) override;
    std::optional<std::wstring> ExistingFile(const std::wstring& typed) override;
    std::optional<std::string> ReadFile(const std::wstring& path) override;
    ImageOpening OpenImage(const std::wstring& path) override;
    // "varnok.log" in the current folder, opened and closed per entry with sharing that
    // denies nothing, so another program may read it while Varnok runs.
    void AppendLog(const std::string& bytes) override;
};

// The folder's full path (%APPDATA%\Varnok); empty when the user has none. It is made,
// and checked to be a plain folder there, each time a file in it is used.
std::wstring DataFolder();

// The system's text for an error code, without its line end.
std::wstring SystemErrorText(unsigned long code);
