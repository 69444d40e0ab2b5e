// The images' paths as the technician last chose them, kept between runs and shared by the
// update page and the list's "Update all": the same firmware and web pages on both.
#pragma once

#include <optional>
#include <string>

#include "app/notices.h"
#include "core/data_store.h"
#include "core/settings.h"
#include "core/upload.h"
#include "win32/controls.h"

struct ImageField {
    const wchar_t* setting;   // its kept value, in section "File"
    const wchar_t* extension; // what the Open dialog proposes
    const wchar_t* filter;
};

inline const ImageField& ImageFieldOf(ImageKind kind) {
    static constexpr ImageField kFirmware{L"BinFile", L"bin",
                                          L"Binary program files\0*.bin\0All files\0*.*\0"};
    static constexpr ImageField kWebPages{L"WebFile", L"ROM",
                                          L"Web program files\0*.ROM\0All files\0*.*\0"};
    return kind == ImageKind::Firmware ? kFirmware : kWebPages;
}

inline std::wstring KeptImagePath(Settings& settings, ImageKind kind) {
    return settings.Text(L"File", ImageFieldOf(kind).setting, L"");
}

inline void KeepImagePath(Settings& settings, ImageKind kind, const std::wstring& path) {
    settings.PutText(L"File", ImageFieldOf(kind).setting, path);
}

// The Open dialog for an image of `kind`, proposing the file name `current` ends with;
// nothing when cancelled.
std::optional<std::wstring> AskImage(HWND owner, ImageKind kind, const std::wstring& current);

// The existing file `field` names, made absolute: the client is only ever handed such a
// path (a pasted path in quotes works, and a name such as "-h" can never read as one of its
// options). When it names none, the technician is told ("No file selected", "File not
// found") and taken to the field, its text selected, to be corrected or typed over.
std::optional<std::wstring> ImageOfField(const Edit& field, UserFiles& files, Notices& notices);
