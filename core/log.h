// The diagnostic log: "./varnok.log" in the current directory, written only when the
// program was started with the argument "debug". Nothing ever reads it back, and no
// caller depends on whether an entry reached the disk. The application owns the one log
// and hands it to whatever writes to it; entries may come from any thread.
#pragma once

#include <mutex>
#include <string>

class LogFile;

class Log {
public:
    // A log that is off: entries go nowhere.
    Log() = default;
    // A log that is on (unless `on` is false): each entry is appended to `file`.
    explicit Log(LogFile& file, bool on = true) : file_(on ? &file : nullptr) {}
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    bool On() const { return file_ != nullptr; }
    // Appends one entry (text without line end) when the log is on. Each character
    // becomes one byte and the line ends in CR LF; an entry that cannot be written is
    // dropped silently.
    void Write(const std::wstring& text);

private:
    LogFile* file_ = nullptr;
    std::mutex mutex_; // one entry at a time, whole
};

// The bytes of one entry as they go to the file.
std::string LogEntryBytes(const std::wstring& text);
