// The console Varnok was started from, for its command line: Varnok is a windowed program,
// so it has none of its own. Lines go to the standard output or error that was handed
// down (a pipe, a file), else to the console of the program that started it. Ctrl+C and
// the console's closing become a stop request the work can look at.
#pragma once

#include <stop_token>
#include <string>

#include "win32/win32.h"

class Console {
public:
    Console();
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Requested once Ctrl+C was pressed or the console is closing.
    std::stop_token Interruption() const { return interrupted_.get_token(); }
    // The work is over, its clean-up done: a console that is closing may end the process.
    void Finished() { ::SetEvent(finished_.get()); }

    // A console control event: every one asks the work to stop. Windows ends the process
    // when the handler of a closing console, a logoff or a shutdown returns, so for those
    // it waits for the work's clean-up first (Windows allows about five seconds).
    bool HandleControl(unsigned long event);

    void Out(const std::wstring& line) { Write(out_, line); }
    void Error(const std::wstring& line) { Write(error_ ? error_ : out_, line); }

private:
    void AttachParent();
    static void Write(HANDLE to, const std::wstring& line);

    std::stop_source interrupted_;
    UniqueHandle finished_{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueHandle attached_; // the parent's console output, when nothing was handed down
    HANDLE out_ = nullptr;
    HANDLE error_ = nullptr;
};
