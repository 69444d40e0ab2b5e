// Starting outside programs (arp.exe, route.exe, the TFTP client, the browser) through
// the Windows shell. The answer is only whether the program started; why a start
// failed goes to the log, never to the user.
#pragma once

#include <optional>
#include <string>

// Starts `file` with `parameters` through the shell verb `operation`; `show` false hides
// the program's window. True when the shell reports the program started.
bool RunProgram(const std::wstring& operation, const std::wstring& file,
                const std::wstring& parameters, bool show);

// Runs one of the operating system's own programs (arp.exe, route.exe) with its window
// hidden. It is started by its full path in the system directory, so that a program of
// the same name in the current or the program's folder never runs in its place (Varnok
// runs elevated), and awaited for at most 10 s, so that one change to the PC's tables
// has ended before the next begins. True when the program was started; how it ended is
// not looked at.
bool RunSystemProgram(const std::wstring& file, const std::wstring& parameters);

// A program started with its window hidden, whose end can be watched.
class StartedProgram {
public:
    StartedProgram() = default;
    explicit StartedProgram(void* process) : process_(process) {}
    StartedProgram(StartedProgram&& other) noexcept;
    StartedProgram& operator=(StartedProgram&& other) noexcept;
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;
    ~StartedProgram();

    bool Started() const { return process_ != nullptr; }
    // Its exit code once it has ended; nothing while it runs (or when it never started).
    std::optional<unsigned long> ExitCode() const;
    // The operating system's handle of the process, to wait on.
    void* Process() const { return process_; }

private:
    void* process_ = nullptr;
};

// Starts the program at `path` through the shell with its window hidden, and keeps hold
// of it. A failed start is logged (when the log is on) and gives a program not Started().
StartedProgram StartProgram(const std::wstring& path, const std::wstring& parameters);

// The English text logged for a shell start result of 32 or less.
const wchar_t* StartFailureText(long long result);

// Turns a shell start result into RunProgram's answer: above 32 (signed) is a start;
// anything else is a failure whose text is logged when the log is on.
bool ReportStartResult(long long result);
