// The files the technician picks: the standard Open and Save As dialogs. The dialogs move
// the process's current directory into every folder the user walks into; the log (and any
// relative path) must stay where the program was started, so it is put back.
#pragma once

#include <optional>
#include <string>

#include "win32/win32.h"

struct FileQuestion {
    const wchar_t* title = nullptr;  // null: the dialog's own ("Open", "Save As")
    const wchar_t* filter = nullptr; // pairs of description and pattern, each ending in a NUL
    const wchar_t* extension = nullptr;
    std::wstring proposed; // the name (or path) the dialog starts with
};

// The file chosen to open (it exists) or to save to; nothing when cancelled.
std::optional<std::wstring> AskFileToOpen(HWND owner, const FileQuestion& question);
std::optional<std::wstring> AskFileToSave(HWND owner, const FileQuestion& question);
