// Small helpers for the texts a user types or pastes.
#pragma once

#include <string>

// `text` without the blanks and tabs at either end.
std::wstring TrimBlanks(const std::wstring& text);
