// Files the technician names.
#include "app/file_choice.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

namespace {

std::wstring CurrentDirectory() {
    const DWORD length = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring directory(length, L'\0');
    directory.resize(::GetCurrentDirectoryW(length, directory.data()));
    return directory;
}

std::optional<std::wstring> Ask(HWND owner, const FileQuestion& question, bool save) {
    std::vector<wchar_t> file(32768, L'\0'); // room for long paths
    question.proposed.copy(file.data(), std::min(question.proposed.size(), file.size() - 1));
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrTitle = question.title;
    dialog.lpstrFilter = question.filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrDefExt = question.extension;
    dialog.Flags = OFN_ENABLESIZING | OFN_EXPLORER |
                   (save ? OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST : OFN_FILEMUSTEXIST);
    const std::wstring workingFolder = CurrentDirectory();
    const BOOL chosen = save ? ::GetSaveFileNameW(&dialog) : ::GetOpenFileNameW(&dialog);
    ::SetCurrentDirectoryW(workingFolder.c_str());
    if (!chosen) {
        return std::nullopt;
    }
    return std::wstring(file.data());
}

} // namespace

std::optional<std::wstring> AskFileToOpen(HWND owner, const FileQuestion& question) {
    return Ask(owner, question, false);
}

std::optional<std::wstring> AskFileToSave(HWND owner, const FileQuestion& question) {
    return Ask(owner, question, true);
}
