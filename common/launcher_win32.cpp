// Starting programs through the Windows shell.
#include "common/launcher.h"

#include <cstdint>

#include "common/cursor.h"
#include "common/launcher_win32.h"
#include <shellapi.h>

bool RunProgram(const std::wstring& operation, const std::wstring& file,
                const std::wstring& parameters, bool show) {
    ScopedWaitCursor wait;
    const HINSTANCE result = ::ShellExecuteW(GetAppMainWindow(), operation.c_str(), file.c_str(),
                                             parameters.c_str(), nullptr, show ? SW_SHOW : SW_HIDE);
    return ReportStartResult(StartResult(result));
}

bool RunSystemProgram(const std::wstring& file, const std::wstring& parameters) {
    ScopedWaitCursor wait;
    return ReportStartResult(StartAndWait(SystemProgramPath(file), parameters, 10000));
}
