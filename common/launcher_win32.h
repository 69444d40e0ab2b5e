// Windows-only parts of the launcher, shared by its two halves and reached by tests.
#pragma once

#include <string>

#include "common/win32.h"

// Starts `path` hidden through the shell and waits for it to end, at most `timeoutMs`.
// Returns the shell's start result (above 32 means started), as ShellExecuteW would.
long long StartAndWait(const std::wstring& path, const std::wstring& parameters, DWORD timeoutMs);

// The shell's start result as a signed number (above 32 means started).
long long StartResult(HINSTANCE result);

// "<system directory>\<file>".
std::wstring SystemProgramPath(const std::wstring& file);
