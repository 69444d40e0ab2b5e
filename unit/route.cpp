#include "unit/route.h"

#include "common/launcher.h"

bool Route::Add(const IPv4Address& address) {
    return RunSystemProgram(L"route.exe",
                            L"ADD " + address.ToText() + L" MASK 255.255.255.255 0.0.0.0");
}

bool Route::Delete(const IPv4Address& address) {
    return RunSystemProgram(L"route.exe", L"DELETE " + address.ToText());
}
