#include "core/arguments.h"

#include "core/log.h"

bool IsDebugArgument(const std::wstring& argument) {
    static constexpr wchar_t kDebug[] = L"debug";
    if (argument.size() != 5) {
        return false;
    }
    for (std::size_t i = 0; i < argument.size(); ++i) {
        wchar_t c = argument[i];
        if (c >= L'A' && c <= L'Z') {
            c = static_cast<wchar_t>(c - L'A' + L'a'); // ASCII letters only
        }
        if (c != kDebug[i]) {
            return false;
        }
    }
    return true;
}

void ApplyArguments(const std::vector<std::wstring>& arguments) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (IsDebugArgument(arguments[i])) {
            SetDebugFlag();
        }
    }
}
