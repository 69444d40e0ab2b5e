// The images' paths as the technician last chose them, kept between runs and shared by the
// update page and the list's "Update all": the same firmware and web pages on both.
#pragma once

#include <string>

#include "core/settings.h"
#include "core/upload.h"

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
