// The System interface on Windows.
#include "win32/system.h"

#include "core/log.h"
#include "res/resource_ids.h"
#include "win32/client_file.h"
#include "win32/firewall.h"
#include "win32/icmp.h"
#include "win32/launcher.h"
#include "win32/network.h"
#include "win32/settings.h"
#include "win32/web_page.h"

namespace {
// Where a change under way is recorded: its own section, apart from the page's values.
constexpr wchar_t kPendingSection[] = L"Pending";
constexpr wchar_t kPendingAddress[] = L"IP";
constexpr wchar_t kPendingRoute[] = L"HostRoute";
} // namespace

ProgramRun Win32System::RunSystemProgram(const std::wstring& file, const std::wstring& parameters) {
    return ::RunSystemProgram(file, parameters);
}

ProgramRun Win32System::ShellOpen(const std::wstring& file, const std::wstring& parameters) {
    return OpenAsDesktopUser(file, parameters);
}

ProgramRun Win32System::StartProgram(const std::wstring& program, const std::wstring& arguments) {
    return StartProgramByPath(program, arguments);
}

EchoOpening Win32System::OpenEcho(const std::optional<IPv4Address>& source) {
    return OpenIcmpEcho(source);
}

void Win32System::Pause(unsigned milliseconds) {
    ::SleepEx(milliseconds, TRUE);
}

std::vector<Adapter> Win32System::Adapters() {
    return UpAdapters();
}

std::vector<IPv4Address> Win32System::OwnAddresses() {
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

std::optional<std::wstring> Win32System::NeighbourMac(const IPv4Address& address,
                                                      unsigned long interfaceIndex) {
    return ResolvedNeighbour(address, interfaceIndex);
}

ClientStart Win32System::StartClient(const std::wstring& parameters) {
    // Prepared anew for every start: whatever became of the file since the last upload,
    // what runs is the client this program carries, held open until it has started.
    const PreparedClient client = PrepareClient(clientFolder_, EmbeddedClient(IDR_TFTP_CLIENT));
    if (!client.file) {
        WriteLogLine(client.failure);
        return {nullptr, client.failure};
    }
    return StartCapturedProgram(client.path, parameters);
}

std::wstring Win32System::ClientPath() {
    return ClientPathIn(clientFolder_);
}

std::optional<FirewallRule> Win32System::FindFirewallRule(const std::wstring& name) {
    return FindWindowsFirewallRule(name);
}

bool Win32System::PutFirewallRule(const std::wstring& name, const FirewallRule& rule) {
    return PutWindowsFirewallRule(name, rule);
}

void Win32System::RecordPendingChange(const PendingChange& change) {
    // The route flag first: a record is only read back once its address is there.
    WriteProfileInt(kPendingSection, kPendingRoute, change.hostRoute ? 1 : 0);
    WriteProfileBinary(kPendingSection, kPendingAddress, change.address.octet.data(),
                       change.address.octet.size());
}

std::optional<PendingChange> Win32System::PendingChangeOnRecord() {
    const std::vector<std::uint8_t> bytes = GetProfileBinary(kPendingSection, kPendingAddress);
    if (bytes.size() != 4) {
        return std::nullopt;
    }
    PendingChange change;
    std::copy(bytes.begin(), bytes.end(), change.address.octet.begin());
    change.hostRoute = GetProfileInt(kPendingSection, kPendingRoute, 1) != 0;
    return change;
}

void Win32System::ClearPendingChange() {
    DeleteProfileValue(kPendingSection, kPendingAddress);
    DeleteProfileValue(kPendingSection, kPendingRoute);
}
