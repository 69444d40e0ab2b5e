#include "core/arguments.h"

#include "core/log.h"
#include "core/text.h"

bool IsDebugArgument(const std::wstring& argument) {
    return SameAsciiWord(argument, L"debug");
}

void ApplyArguments(const std::vector<std::wstring>& arguments) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (IsDebugArgument(arguments[i])) {
            SetDebugFlag();
        }
    }
}
