#include "core/route.h"

ProgramRun Route::Add(const IPv4Address& address,
                      const std::optional<unsigned long>& interfaceIndex) {
    return tables_.RunSystemProgram(
        L"route.exe", L"ADD " + address.ToText() + L" MASK 255.255.255.255 0.0.0.0" +
                          (interfaceIndex ? L" IF " + std::to_wstring(*interfaceIndex) : L""));
}

ProgramRun Route::Delete(const IPv4Address& address) {
    // With its mask: "DELETE <address>" alone removes every route to that destination.
    return tables_.RunSystemProgram(L"route.exe",
                                    L"DELETE " + address.ToText() + L" MASK 255.255.255.255");
}
