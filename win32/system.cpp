// The System interface on Windows.
#include "win32/system.h"

#include "core/log.h"
#include "res/resource_ids.h"
#include "win32/client_file.h"
#include "win32/data_files.h"
#include "win32/firewall.h"
#include "win32/icmp.h"
#include "win32/launcher.h"
#include "win32/network.h"
#include "win32/settings.h"
#include "win32/tables_lock.h"
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

std::unique_ptr<TablesLock> Win32System::LockTables(bool wait) {
    return WaitForTablesLock(wait);
}

LocalTime Win32System::Now() {
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

std::uint64_t Win32System::Milliseconds() {
    return ::GetTickCount64();
}

std::optional<std::string> Win32System::ReadDataFile(const std::wstring& name) {
    return ReadWholeFile(DataFilePath(name));
}

bool Win32System::ReplaceDataFile(const std::wstring& name, const std::string& bytes) {
    return ReplaceWholeFile(DataFilePath(name), bytes);
}

bool Win32System::AppendDataFile(const std::wstring& name, const std::string& header,
                                 const std::string& bytes, std::wstring& failure) {
    return AppendToFile(DataFilePath(name), header, bytes, failure);
}

std::wstring Win32System::DataFilePath(const std::wstring& name) {
    const std::wstring folder = DataFolder();
    return folder.empty() ? L"" : folder + L"\\" + name; // no folder: every use of it fails
}
