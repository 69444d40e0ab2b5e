// Starting programs through the Windows shell.
#include "win32/launcher.h"

#include <cstdint>

#include <shellapi.h>

// The shell's start result is an integer in a handle's clothing, compared signed.
long long StartResult(HINSTANCE result) {
    return static_cast<long long>(reinterpret_cast<std::intptr_t>(result));
}

std::wstring SystemProgramPath(const std::wstring& file) {
    wchar_t directory[MAX_PATH];
    const UINT n = ::GetSystemDirectoryW(directory, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        return file; // cannot happen on a working system; the start then fails
    }
    return std::wstring(directory, n) + L"\\" + file;
}

ProgramRun RunSystemProgram(const std::wstring& file, const std::wstring& parameters, Log& log) {
    return RunAwaited(SystemProgramPath(file), parameters, 10000, log);
}

// CreateProcessW's error as the shell's start result, so the log says it the same way.
long long StartResultOfError(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
        return 2;
    case ERROR_PATH_NOT_FOUND:
        return 3;
    case ERROR_ACCESS_DENIED:
        return 5;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return 8;
    case ERROR_BAD_EXE_FORMAT:
        return 11;
    case ERROR_SHARING_VIOLATION:
        return 26;
    default:
        return 1; // "An unknown error occurred."
    }
}
