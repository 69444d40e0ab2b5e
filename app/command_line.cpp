// The command line's commands.
#include "app/command_line.h"

#include <algorithm>
#include <stop_token>
#include <vector>

#include "app/adapter_dialog.h"
#include "app/file_choice.h"
#include "app/page_ip.h"
#include "app/wording.h"
#include "core/commissioning.h"
#include "core/list_run.h"
#include "core/macbuilder.h"
#include "core/text.h"
#include "core/ticks.h"
#include "core/unit_list.h"
#include "win32/data_files.h"
#include "win32/settings.h"

namespace {

// Ctrl+C or the console closing: the unit under way skips its remaining echoes and
// cleans up, and no further unit starts; ended at once, the PC's tables would keep its
// entry until the next start.
std::stop_source interrupted;

BOOL WINAPI OnConsoleControl(DWORD) {
    interrupted.request_stop();
    return TRUE;
}

int NotUnderstood(Console& console, const std::wstring& why) {
    if (!why.empty()) {
        console.Error(why);
    }
    console.Error(UsageText());
    return kExitNotUnderstood;
}

// "SERIAL MAC ADDRESS SUCCESS" or "... FAILED <reason>".
std::wstring UnitLine(const Assignment& unit, bool succeeded, const std::wstring& reason) {
    return std::to_wstring(unit.serial) + L" " + unit.mac + L" " + unit.address.ToText() +
           (succeeded ? L" SUCCESS" : L" FAILED " + reason);
}

int ApplyUnits(const std::vector<UnitRow>& rows, System& system, Console& console) {
    std::vector<IPv4Address> addresses;
    for (const UnitRow& row : rows) {
        addresses.push_back(row.address);
    }
    const std::vector<Adapter> adapters = system.Adapters();
    // Nobody can be asked here: the adapter last chosen in the window answers.
    const std::optional<std::vector<UnitPath>> paths =
        PathsTo(adapters, addresses, [&adapters] { return RememberedAdapter(adapters); });
    std::vector<ListJob> jobs;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        jobs.push_back({i,
                        {rows[i].serial, MACbuilder().Build(rows[i].serial), rows[i].address,
                         rows[i].netmask, rows[i].gateway, paths ? (*paths)[i] : UnitPath{}}});
    }
    if (!paths) {
        for (const ListJob& job : jobs) {
            console.Out(UnitLine(job.unit, false,
                                 L"Which adapter leads to the unit is not clear: choose it once "
                                 L"in Varnok's window."));
        }
        return kExitSomeFailed;
    }
    ListEvents events;
    events.finished = [&jobs, &console](std::size_t index, const Done& done) {
        console.Out(
            UnitLine(jobs[index].unit, done.outcome.Succeeded(), OutcomeReason(done.outcome)));
        if (done.recordFailure) {
            console.Error(*done.recordFailure);
        }
    };
    events.deferred = [&jobs, &console](std::size_t index, std::size_t with) {
        console.Out(UnitLine(jobs[index].unit, false,
                             L"It shares its MAC with serial " +
                                 std::to_wstring(jobs[with].unit.serial) +
                                 L": apply it on its own, with only that unit switched on."));
    };
    const std::size_t succeeded = RunList(system, jobs, events, interrupted.get_token());
    return succeeded == jobs.size() ? kExitAllSucceeded : kExitSomeFailed;
}

// The unit of "apply", checked as a list's line is.
int Apply(const std::vector<std::wstring>& values, System& system, Console& console) {
    // A header first, so that a serial such as "abc" is refused as a serial, never taken
    // for the header line.
    std::wstring line = L"serial,address,netmask,gateway\n";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i].find_first_of(L",;\"") != std::wstring::npos) {
            return NotUnderstood(console, L"Not a serial number or address: " + values[i]);
        }
        line += (i ? L"," : L"") + values[i];
    }
    const ListReading reading = ReadUnitList(ToUtf8(line), system.OwnAddresses());
    if (reading.problem) {
        ListProblem problem = *reading.problem;
        problem.line = 0;
        return NotUnderstood(console, ListProblemText(problem));
    }
    return ApplyUnits(reading.rows, system, console);
}

int ApplyList(const std::wstring& file, System& system, Console& console) {
    const std::optional<std::wstring> path = ExistingFile(file);
    const std::optional<std::string> bytes = path ? ReadWholeFile(*path) : std::nullopt;
    if (!bytes) {
        return NotUnderstood(console, L"The file " + CleanPath(file) + L" cannot be read.");
    }
    const ListReading reading = ReadUnitList(*bytes, system.OwnAddresses());
    if (reading.problem) {
        return NotUnderstood(console, *path + L": " + ListProblemText(*reading.problem));
    }
    return ApplyUnits(reading.rows, system, console);
}

// The netmask and gateway the upload's check echo carries: what the unit last took, by the
// address page or the record; else its adapter's netmask and no gateway.
UnitSettings SettingsFor(const IPv4Address& address, System& system) {
    if (const KeptUnitValues kept = KeptAddressPageValues(); kept.ip.Equals(address)) {
        return {kept.netmask, kept.gateway};
    }
    if (const std::optional<std::string> record = system.ReadDataFile(kRecordFile)) {
        if (const std::optional<UnitSettings> last = LastSettingsOf(*record, address)) {
            return *last;
        }
    }
    UnitSettings settings;
    if (const std::optional<UnitPath> path = PathWithoutAsking(system.Adapters(), address);
        path && path->adapter && !path->hostRoute) {
        for (const AdapterAddress& own : path->adapter->addresses) {
            if (own.address.Equals(path->source)) {
                settings.netmask = own.netmask;
            }
        }
    }
    return settings;
}

int Upload(const std::vector<std::wstring>& values, System& system, Console& console) {
    const std::optional<IPv4Address> address = ParseIPv4(TrimBlanks(values[0]));
    if (!address || address->Equals(IPv4Address{})) {
        return NotUnderstood(console, L"Not an IPv4 address: " + values[0]);
    }
    const std::wstring named = CleanPath(values[1]);
    const std::wstring head = address->ToText() + L" " + named + L" ";
    const std::optional<std::wstring> path = ExistingFile(values[1]);
    if (!path) {
        console.Out(head + L"FAILED File not found");
        return kExitSomeFailed;
    }
    // A firmware image takes the unit longer to write than web pages: the same fixed wait
    // as on the update page before "SUCCESS" is true.
    const bool firmware = named.size() >= 4 && (named.substr(named.size() - 4) == L".bin" ||
                                                named.substr(named.size() - 4) == L".BIN");
    const unsigned fixedWaitMs = (firmware ? kFirmwareTicks : kWebPageTicks) * 1000;
    const UnitSettings settings = SettingsFor(*address, system);
    const UploadRequest request{*address, settings.netmask, settings.gateway, *path, fixedWaitMs};
    std::optional<std::uint64_t> answeredAt;
    const Done done = UploadAndRecord(
        system, request, [&] { answeredAt = system.Milliseconds(); }, interrupted.get_token());
    if (done.outcome.Succeeded() && answeredAt && !interrupted.stop_requested()) {
        // In short steps, so that Ctrl+C ends the wait at once.
        const std::uint64_t end = *answeredAt + fixedWaitMs;
        for (std::uint64_t now = system.Milliseconds(); now < end && !interrupted.stop_requested();
             now = system.Milliseconds()) {
            system.Pause(static_cast<unsigned>(std::min<std::uint64_t>(end - now, 250)));
        }
    }
    // Sent, but the unit's time to write it was cut short: not yet a success.
    const bool succeeded = done.outcome.Succeeded() && !interrupted.stop_requested();
    const std::wstring reason = done.outcome.Succeeded()
                                    ? L"Interrupted before the unit had written the image."
                                    : OutcomeReason(done.outcome);
    console.Out(head + (succeeded ? L"SUCCESS" : L"FAILED " + reason));
    if (done.recordFailure) {
        console.Error(*done.recordFailure);
    }
    return succeeded ? kExitAllSucceeded : kExitSomeFailed;
}

} // namespace

int RunCommand(const Command& command, System& system, Console& console) {
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    switch (command.kind) {
    case Command::Apply:
        return Apply(command.values, system, console);
    case Command::ApplyList:
        return ApplyList(command.values[0], system, console);
    case Command::Upload:
        return Upload(command.values, system, console);
    case Command::Window:
    case Command::NotUnderstood:
        break;
    }
    return NotUnderstood(console, L"");
}
