// "Apply" without the window: runs the real address assignment sequence (Setup::Run) on
// the real system with the given values and prints the "Varnok message" boxes the
// window would show for its outcome. The end-to-end scenarios run it inside the PC's network
// namespace:
//   apply_probe MAC ADDRESS NETMASK GATEWAY [debug]
// Output, one line each: "box: <text>" per box in order, then "elapsed-ms: <n>".
#include <winsock2.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/notices.h"
#include "core/log.h"
#include "core/setup.h"
#include "win32/data_store.h"
#include "win32/registry_settings.h"
#include "win32/roles.h"
#include "win32/win32.h"

namespace {

// The boxes an "Apply" would show, kept in order instead.
class RecordedBoxes : public Notices {
public:
    explicit RecordedBoxes(Log& log) : Notices(log) {}
    void MessageId(unsigned id, const std::wstring&) override {
        texts.push_back(LoadStringText(id));
    }
    void Warn(const std::wstring& text) override { texts.push_back(text); }
    void Beep() override {}
    std::vector<std::wstring> texts;

protected:
    void ShowBox(const std::wstring& text) override { texts.push_back(text); }
    void ShowAddressBox(const std::wstring& text, const std::wstring& address) override {
        texts.push_back(text + L" " + address);
    }
};

bool ParseAddress(const wchar_t* text, IPv4Address& out) {
    unsigned a, b, c, d;
    wchar_t rest;
    if (std::swscanf(text, L"%u.%u.%u.%u%lc", &a, &b, &c, &d, &rest) != 4 || a > 255 || b > 255 ||
        c > 255 || d > 255) {
        return false;
    }
    out.octet = {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b),
                 static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(d)};
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    IPv4Address address, netmask, gateway;
    if (argc < 5 || !ParseAddress(argv[2], address) || !ParseAddress(argv[3], netmask) ||
        !ParseAddress(argv[4], gateway)) {
        std::fprintf(stderr, "usage: apply_probe MAC ADDRESS NETMASK GATEWAY [debug]\n");
        return 2;
    }
    Win32LogFile logFile;
    Log log(logFile, argc > 5 && std::wstring(argv[5]) == L"debug");
    WSADATA data;
    if (::WSAStartup(MAKEWORD(1, 1), &data) != 0) {
        return 2;
    }
    Win32Tables tables(log);
    Win32Echoes echoes;
    Win32Clock clock;
    RegistrySettings settings(L"Strandel");
    MachineChangeRecord changes(L"Strandel", settings);
    const VarnokNamespace names;
    NamedTablesLock lock(names);
    RecordedBoxes boxes(log);
    const auto start = std::chrono::steady_clock::now();
    // Where the window would ask, the adapter named by VARNOK_E2E_CHOOSE answers.
    const std::vector<Adapter> adapters = tables.Adapters();
    std::optional<UnitPath> path = PathWithoutAsking(adapters, address);
    if (!path) {
        const char* wanted = std::getenv("VARNOK_E2E_CHOOSE");
        std::size_t chosen = 0;
        for (std::size_t i = 0; wanted && i < adapters.size(); ++i) {
            if (adapters[i].name == std::wstring(wanted, wanted + std::strlen(wanted))) {
                chosen = i;
            }
        }
        path = PathThrough(adapters.at(chosen), address);
    }
    const AssignmentRoles roles{tables, echoes, clock, changes, lock, log};
    ShowAssignmentOutcome(boxes, Setup(roles, argv[1], address, netmask, gateway, *path).Run());
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    ::WSACleanup();
    for (const std::wstring& text : boxes.texts) {
        std::printf("box: %ls\n", text.c_str());
    }
    std::printf("elapsed-ms: %lld\n", static_cast<long long>(elapsed.count()));
    return 0;
}
