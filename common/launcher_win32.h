// Windows-only parts of the launcher that the tests reach directly.
#pragma once

#include <string>

#include "common/win32.h"

// Starts `path` hidden through the shell and waits for it to end, at most `timeoutMs`.
// Returns the shell's start result (above 32 means started), as ShellExecuteW would.
long long StartAndWait(const std::wstring& path, const std::wstring& parameters, DWORD timeoutMs);

// "<system directory>\<file>".
std::wstring SystemProgramPath(const std::wstring& file);
