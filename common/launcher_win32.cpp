// RunProgram over ShellExecuteW.
#include "common/launcher.h"

#include <cstdint>

#include "common/win32.h"
#include <shellapi.h>

bool RunProgram(const std::wstring& operation, const std::wstring& file,
                const std::wstring& parameters, bool show) {
    WaitCursor wait;
    const HINSTANCE result = ::ShellExecuteW(GetAppMainWindow(), operation.c_str(), file.c_str(),
                                             parameters.c_str(), nullptr, show ? SW_SHOW : SW_HIDE);
    // The result is an integer in a handle's clothing, compared as a signed number.
    return ReportStartResult(static_cast<long long>(reinterpret_cast<std::intptr_t>(result)));
}
