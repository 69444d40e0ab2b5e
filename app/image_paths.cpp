// The images' paths.
#include "app/image_paths.h"

#include "app/file_choice.h"

std::optional<std::wstring> AskImage(HWND owner, ImageKind kind, const std::wstring& current) {
    const ImageField& image = ImageFieldOf(kind);
    return AskFileToOpen(owner, {nullptr, image.filter, image.extension,
                                 current.substr(current.find_last_of(L'\\') + 1)});
}

std::optional<std::wstring> ImageOfField(const Edit& field, UserFiles& files, Notices& notices) {
    const std::wstring typed = field.GetText();
    const std::optional<std::wstring> path =
        typed.empty() ? std::nullopt : files.ExistingFile(typed);
    if (!path) {
        notices.Message(typed.empty() ? L"No file selected" : L"File not found");
        field.Focus();
        field.SelectAll();
    }
    return path;
}
