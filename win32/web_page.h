// Opening a web page for the person at the desktop. Varnok runs elevated, and whatever it
// starts itself inherits that: a browser started by Varnok would browse with
// administrator rights. So the page is handed to Explorer's desktop window, which opens it
// with the desktop user's own rights; when that cannot be done, nothing is opened.
#pragma once

#include <optional>
#include <string>

#include "core/log.h"
#include "core/program_run.h"

// Asks Explorer's desktop window to open `file` with `parameters` ("open", shown
// normally). Nothing when Explorer took the request, else the step that failed and its
// result, for the log. Explorer does not say whether the document then opened.
// COM is started on the calling thread for the call if it is not yet.
std::optional<std::wstring> OpenThroughDesktopShell(const std::wstring& file,
                                                    const std::wstring& parameters);

// Opens `file` through the desktop's shell as above; when that fails, logs why and says
// so. It is never opened with Varnok's own rights instead.
ProgramRun OpenAsDesktopUser(const std::wstring& file, const std::wstring& parameters, Log& log);
