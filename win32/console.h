// The console Varnok was started from, for its command line: Varnok is a windowed program,
// so it has none of its own. Lines go to the standard output or error that was handed
// down (a pipe, a file), else to the console of the program that started it.
#pragma once

#include <string>

#include "win32/win32.h"

class Console {
public:
    Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    void Out(const std::wstring& line) { Write(out_, line); }
    void Error(const std::wstring& line) { Write(error_ ? error_ : out_, line); }

private:
    static void Write(HANDLE to, const std::wstring& line);

    UniqueHandle attached_; // the parent's console output, when nothing was handed down
    HANDLE out_ = nullptr;
    HANDLE error_ = nullptr;
};
