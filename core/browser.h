// What "Show" opens: the unit's web address, through the desktop's shell.
#pragma once

#include <string>

#include "core/address.h"
#include "core/desktop.h"

// "http://" and the dotted address.
std::wstring WebAddress(const IPv4Address& address);

// Opens the unit's web page through the desktop's shell, as the desktop's user. False
// when that could not be done: nothing else is started, and the caller shows the address,
// to be opened by hand.
bool OpenWebPage(Desktop& desktop, const IPv4Address& address);
