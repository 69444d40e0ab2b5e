// Small helpers for the texts a user types or pastes, and for text files read and written
// as UTF-8.
#pragma once

#include <string>
#include <string_view>

// `text` equals `word` (lower case) when A to Z are read as a to z; other letters as they are.
bool SameAsciiWord(const std::wstring& text, const wchar_t* word);
// A blank or a tab.
bool IsBlank(wchar_t c);
// `text` without the blanks and tabs at either end.
std::wstring TrimBlanks(const std::wstring& text);

// UTF-8 bytes as wide text (UTF-16 on Windows). What is not valid UTF-8 (a stray byte, a
// sequence cut short, an overlong form, a surrogate, a value past U+10FFFF) becomes one
// U+FFFD for each broken piece, so that a damaged file still reads and shows where.
std::wstring FromUtf8(std::string_view bytes);
// Wide text as UTF-8. A surrogate without its partner becomes U+FFFD.
std::string ToUtf8(const std::wstring& text);
