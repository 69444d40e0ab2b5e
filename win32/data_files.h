// Varnok's own files in the user's application-data folder (%APPDATA%\Varnok): the kept
// list of units and the commissioning record. Elevated through another administrator's
// account, Varnok writes into that account's folder, which is where its own copy of the
// record is then looked for too.
#pragma once

#include <optional>
#include <string>

// The folder's full path, made when missing; empty when the user has none.
std::wstring DataFolder();

// The whole file; nothing when it is missing or cannot be read.
std::optional<std::string> ReadWholeFile(const std::wstring& path);
// Writes the file anew: first beside it, then moved over it, so that a crash or a full
// disk leaves the old content whole.
bool ReplaceWholeFile(const std::wstring& path, const std::string& bytes);
// Appends `bytes` (after `header` when the file is new or empty) in one write, so that two
// Varnoks appending at once never mix their lines; `failure` says why it could not.
bool AppendToFile(const std::wstring& path, const std::string& header, const std::string& bytes,
                  std::wstring& failure);

// The system's text for an error code, without its line end.
std::wstring SystemErrorText(unsigned long code);
