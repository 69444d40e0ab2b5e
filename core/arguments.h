// The command line: "debug", in any letter case, as a whole argument after the program's
// own name turns the diagnostic log on. Everything else is ignored.
#pragma once

#include <string>
#include <vector>

bool IsDebugArgument(const std::wstring& argument);

// Sets the debug flag once for each "debug" among `arguments` (the program's name first).
void ApplyArguments(const std::vector<std::wstring>& arguments);
