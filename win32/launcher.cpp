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

namespace {

// Starts `path` hidden through the shell; the process handle, when there is one, goes
// to `process`. Returns the start result as ShellExecuteW would.
long long ShellStart(const std::wstring& path, const std::wstring& parameters,
                     UniqueHandle& process) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // No error dialog of the shell's own: a failed start is only logged.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.hwnd = nullptr; // no box of the shell's own: see SEE_MASK_FLAG_NO_UI
    info.lpVerb = L"open";
    info.lpFile = path.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_HIDE;
    if (!::ShellExecuteExW(&info)) {
        const long long result = StartResult(info.hInstApp);
        if (result <= 32) {
            return result;
        }
        // hInstApp did not say why; the thread's error does.
        return StartResultOfError(::GetLastError());
    }
    process.reset(info.hProcess);
    return StartResult(info.hInstApp) > 32 ? StartResult(info.hInstApp) : 33;
}

} // namespace

long long StartAndWait(const std::wstring& path, const std::wstring& parameters, DWORD timeoutMs) {
    UniqueHandle process;
    const long long result = ShellStart(path, parameters, process);
    if (process) {
        ::WaitForSingleObject(process.get(), timeoutMs);
    }
    return result;
}

ProgramRun RunProgram(const std::wstring& operation, const std::wstring& file,
                      const std::wstring& parameters, bool show, Log& log) {
    const HINSTANCE result = ::ShellExecuteW(nullptr, operation.c_str(), file.c_str(),
                                             parameters.c_str(), nullptr, show ? SW_SHOW : SW_HIDE);
    return ReportStartResult(StartResult(result), log);
}

ProgramRun RunSystemProgram(const std::wstring& file, const std::wstring& parameters, Log& log) {
    return ReportStartResult(StartAndWait(SystemProgramPath(file), parameters, 10000), log);
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
