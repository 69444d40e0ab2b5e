// The diagnostic log: "./varnok.log" in the current directory, written only when the
// program was started with the argument "debug". Nothing ever reads it back, and no
// caller depends on whether an entry reached the disk.
#pragma once

#include <string>

// Turns the log on. Start-up calls it for each "debug" argument; nothing turns it off.
void SetDebugFlag();
bool GetDebugFlag();

// Appends one entry (text without line end) when the log is on. Each character becomes
// one byte, the line ends in CR LF, and the file is opened and closed per entry with
// sharing that denies nothing, so another program may read it while Varnok runs.
// An entry that cannot be written is dropped silently.
void WriteLogLine(const std::wstring& text);

// The bytes of one entry as they go to the file.
std::string LogEntryBytes(const std::wstring& text);

// Tests only: the program itself never turns the log off again.
void ClearDebugFlagForTesting();
