// The thin Windows roles: each hands its calls to the Win32 code of its concern.
#include "win32/roles.h"

#include <algorithm>

#include "res/resource_ids.h"
#include "win32/firewall.h"
#include "win32/icmp.h"
#include "win32/launcher.h"
#include "win32/network.h"
#include "win32/registry_settings.h"
#include "win32/tables_lock.h"
#include "win32/web_page.h"
#include "win32/win32.h"

namespace {
// Where an earlier version recorded a change under way, in the user's settings.
constexpr wchar_t kPendingSection[] = L"Pending";
constexpr wchar_t kPendingAddress[] = L"IP";
constexpr wchar_t kPendingRoute[] = L"HostRoute";
} // namespace

ProgramRun Win32Tables::RunSystemProgram(const std::wstring& file, const std::wstring& parameters) {
    return ::RunSystemProgram(file, parameters, log_);
}

std::vector<Adapter> Win32Tables::Adapters() {
    return UpAdapters();
}

std::vector<IPv4Address> Win32Tables::OwnAddresses() {
    std::vector<IPv4Address> addresses;
    for (const Adapter& adapter : UpAdapters()) {
        for (const AdapterAddress& own : adapter.addresses) {
            addresses.push_back(own.address);
        }
    }
    IPv4Address loopback;
    loopback.octet = {127, 0, 0, 1};
    addresses.push_back(loopback);
    return addresses;
}

std::optional<std::wstring> Win32Tables::NeighbourMac(const IPv4Address& address,
                                                      unsigned long interfaceIndex) {
    return ResolvedNeighbour(address, interfaceIndex);
}

bool Win32Tables::HasStaticEntry(const IPv4Address& address, const std::wstring& mac,
                                 unsigned long interfaceIndex) {
    return HasPermanentNeighbour(address, mac, interfaceIndex);
}

Seen Win32Tables::HostRoute(const IPv4Address& address, unsigned long interfaceIndex) {
    return OnLinkHostRoute(address, interfaceIndex);
}

StaticEntry Win32Tables::StaticEntryAt(const IPv4Address& address) {
    return PermanentNeighbour(address);
}

EchoOpening Win32Echoes::Open(const std::optional<IPv4Address>& source) {
    return OpenIcmpEcho(source);
}

LocalTime Win32Clock::Now() {
    // Both read from one instant: the offset is their difference, whole minutes.
    FILETIME universal;
    ::GetSystemTimeAsFileTime(&universal);
    FILETIME local;
    ::FileTimeToLocalFileTime(&universal, &local);
    SYSTEMTIME parts;
    ::FileTimeToSystemTime(&local, &parts);
    const auto ticks = [](const FILETIME& t) {
        return static_cast<long long>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                                      t.dwLowDateTime);
    };
    const long long offsetMinutes = (ticks(local) - ticks(universal)) / (60LL * 10'000'000LL);
    return {parts.wYear,
            parts.wMonth,
            parts.wDay,
            parts.wHour,
            parts.wMinute,
            parts.wSecond,
            static_cast<int>(offsetMinutes)};
}

std::uint64_t Win32Clock::Milliseconds() {
    return ::GetTickCount64();
}

void Win32Clock::Pause(unsigned milliseconds) {
    ::SleepEx(milliseconds, TRUE);
}

bool Win32Clock::PauseUnlessStopped(unsigned milliseconds, std::stop_token stop) {
    // In short steps that look at the stop (a stop_callback's removal can wait forever for
    // a lost wake-up with GCC 12 on MinGW).
    constexpr unsigned kStepMs = 50;
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    for (ULONGLONG now = ::GetTickCount64(); now < end && !stop.stop_requested();
         now = ::GetTickCount64()) {
        ::SleepEx(static_cast<DWORD>(std::min<ULONGLONG>(end - now, kStepMs)), TRUE);
    }
    return !stop.stop_requested();
}

ClientStart Win32Client::Start(const std::wstring& parameters) {
    // Prepared anew for every start: whatever became of the file since the last upload,
    // what runs is the client this program carries, held open until it has started.
    const std::lock_guard<std::mutex> lock(mutex_);
    const PreparedClient client = PrepareClient(folder_, EmbeddedClient(IDR_TFTP_CLIENT));
    if (!client.file) {
        log_.Write(client.failure);
        return {nullptr, client.failure};
    }
    return StartCapturedProgram(client.path, parameters, log_, true);
}

std::wstring Win32Client::Path() {
    // Where the next start will find (or make) its folder: the firewall's rule names it.
    const std::lock_guard<std::mutex> lock(mutex_);
    std::wstring failure;
    const HeldFolder folder = folder_.empty() ? HeldFolder() : OwnClientFolder(folder_, failure);
    return ClientPathIn(folder ? folder.Path() : folder_);
}

std::optional<FirewallRule> WindowsFirewall::FindRule(const std::wstring& name) {
    return FindWindowsFirewallRule(name);
}

bool WindowsFirewall::PutRule(const std::wstring& name, const FirewallRule& rule) {
    return PutWindowsFirewallRule(name, rule);
}

RulesHeeded WindowsFirewall::LocalRulesHeeded() {
    return WindowsFirewallHeedsLocalRules();
}

namespace {

// The record's key with the rights asked for; made when missing only to add to it.
UniqueKey OpenMachineKey(const std::wstring& path, REGSAM access, bool create) {
    HKEY key = nullptr;
    const LSTATUS status =
        create
            ? ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr,
                                REG_OPTION_NON_VOLATILE, access | KEY_WOW64_64KEY, nullptr, &key,
                                nullptr)
            : ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access | KEY_WOW64_64KEY, &key);
    return status == ERROR_SUCCESS ? UniqueKey(key) : UniqueKey();
}

} // namespace

void MachineChangeRecord::Add(const PendingChange& change) {
    const UniqueKey key = OpenMachineKey(key_, KEY_SET_VALUE, true);
    const DWORD route = change.hostRoute ? 1 : 0;
    if (key) {
        ::RegSetValueExW(key.get(), change.address.ToText().c_str(), 0, REG_DWORD,
                         reinterpret_cast<const BYTE*>(&route), sizeof route);
    }
}

void MachineChangeRecord::Remove(const IPv4Address& address) {
    if (const UniqueKey key = OpenMachineKey(key_, KEY_SET_VALUE, false)) {
        ::RegDeleteValueW(key.get(), address.ToText().c_str());
    }
}

std::vector<PendingChange> MachineChangeRecord::All() {
    std::vector<PendingChange> changes;
    const UniqueKey key = OpenMachineKey(key_, KEY_QUERY_VALUE, false);
    for (DWORD i = 0; key; ++i) {
        wchar_t name[64];
        DWORD nameLength = 64;
        DWORD type = 0;
        DWORD route = 0;
        DWORD size = sizeof route;
        const LSTATUS status = ::RegEnumValueW(key.get(), i, name, &nameLength, nullptr, &type,
                                               reinterpret_cast<BYTE*>(&route), &size);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (const std::optional<IPv4Address> address = ParseIPv4(name);
            status == ERROR_SUCCESS && type == REG_DWORD && address) {
            changes.push_back({*address, route != 0});
        }
    }
    // An earlier version kept its record in the user's settings, which any program of the
    // user's can write: it never decides what this elevated program removes. Forgotten
    // unread.
    userSettings_.Remove(kPendingSection, kPendingAddress);
    userSettings_.Remove(kPendingSection, kPendingRoute);
    return changes;
}

TablesLock::Acquisition NamedTablesLock::Acquire(std::stop_token stop,
                                                 const std::function<void()>& waiting) {
    return TakeTablesLock(names_, patienceMs_, stop, waiting);
}

TablesLock::Acquisition NamedTablesLock::TryAcquire() {
    return TakeTablesLock(names_, 0, {}, {});
}

ProgramRun Win32Desktop::ShellOpen(const std::wstring& file, const std::wstring& parameters) {
    return OpenAsDesktopUser(file, parameters, log_);
}

void Win32Neighbourhood::Probe(const std::vector<IPv4Address>& addresses,
                               const IPv4Address& source) {
    SendProbes(addresses, source);
}

std::vector<Neighbour> Win32Neighbourhood::Answered(unsigned long interfaceIndex) {
    return AnsweredNeighbours(interfaceIndex);
}
