// What "Show" hands the shell: the unit's web address, and, when the shell cannot open
// that, the ".htm" class's open command with the address in place of its placeholder.
#pragma once

#include <string>

#include "core/address.h"

// "http://" and the dotted address.
std::wstring WebAddress(const IPv4Address& address);

// The open command cut at its first quoted placeholder ("%1" in quotes, cut at the
// opening quote), else at its first bare %1, else kept whole; then one blank and the
// web address. Whatever followed the placeholder is dropped.
std::wstring BrowserCommandLine(const std::wstring& openCommand, const std::wstring& webAddress);
