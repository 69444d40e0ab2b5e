// The System interface on Windows.
#include "win32/system.h"

#include "core/log.h"
#include "res/resource_ids.h"
#include "win32/client_file.h"
#include "win32/icmp.h"
#include "win32/launcher.h"
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

EchoOpening Win32System::OpenEcho() {
    return OpenIcmpEcho();
}

void Win32System::Pause(unsigned milliseconds) {
    ::SleepEx(milliseconds, TRUE);
}

std::optional<IPv4Address> Win32System::LocalAddress() {
    return FirstLocalAddress();
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
