// The command line's commands.
#include "app/command_line.h"

#include <algorithm>
#include <stop_token>
#include <utility>
#include <vector>

#include "app/wording.h"
#include "core/commissioning.h"
#include "core/image_run.h"
#include "core/kept_values.h"
#include "core/list_run.h"
#include "core/mac_rule.h"
#include "core/run_report.h"
#include "core/sweep.h"
#include "core/text.h"
#include "core/unit_list.h"

namespace {

int NotUnderstood(Console& console, const std::wstring& why) {
    if (!why.empty()) {
        console.Error(why);
    }
    console.Error(UsageText());
    return kExitNotUnderstood;
}

// "SERIAL MAC ADDRESS SUCCESS" or "... FAILED <reason>".
std::wstring UnitLine(const UnitRow& row, bool succeeded, const std::wstring& reason) {
    return std::to_wstring(row.serial) + L" " + MacOfSerial(row.serial).value_or(L"") + L" " +
           row.address.ToText() + (succeeded ? L" SUCCESS" : L" FAILED " + reason);
}

// The plan for every row; nobody can be asked here, so the adapter last chosen in the
// window answers. `whyNot` says why nothing may run.
UnitPlan PlanRows(const std::vector<UnitRow>& rows, Services& services, MacSharing shared,
                  std::wstring& whyNot) {
    std::vector<std::size_t> all(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        all[i] = i;
    }
    const std::vector<Adapter> adapters = services.tables.Adapters();
    const UnitPlan plan = PlanUnits(
        rows, all, services.tables.OwnAddresses(), adapters,
        [&] { return RememberedAdapter(adapters, services.settings); }, shared);
    if (!plan.Runs()) {
        whyNot = plan.adapterUnclear ? L"Which adapter leads to the unit is not clear: choose it "
                                       L"once in Varnok's window."
                                     : ListProblemText(*plan.problem);
    } else if (!plan.jobs.empty()) {
        RememberUsedAdapter(services.settings, plan.jobs.front().unit.path);
    }
    return plan;
}

// A list's run summed up on the error output, below the lines a script reads: "18 of 20
// units took their address".
int Summed(const RunReport& report, Console& console) {
    console.Error(report.Summary());
    return report.AllSucceeded() ? kExitAllSucceeded : kExitSomeFailed;
}

// `summed`: the run's summary follows its lines (a list's, not one unit's).
int ApplyUnits(const std::vector<UnitRow>& rows, Services& services, Console& console,
               bool summed = false) {
    std::wstring whyNot;
    const UnitPlan plan = PlanRows(rows, services, MacSharing::OneAtATime, whyNot);
    if (!plan.Runs()) {
        for (const UnitRow& row : rows) {
            console.Out(UnitLine(row, false, whyNot));
        }
        return kExitSomeFailed;
    }
    RunReport report(rows.size(), L"took their address");
    ListEvents events;
    events.finished = [&](std::size_t index, const Done& done) {
        report.Finished(done.outcome.Succeeded());
        console.Out(UnitLine(rows[index], done.outcome.Succeeded(), OutcomeReason(done.outcome)));
        if (done.recordFailure) {
            console.Error(*done.recordFailure);
        }
    };
    AssignmentRoles roles = services.Assignment();
    bool told = false;
    roles.waitingForTables = [&console, &told] {
        if (!std::exchange(told, true)) {
            console.Error(L"Waiting for another Varnok to finish with the PC's tables...");
        }
    };
    RunList(roles, services.record, plan.jobs, events, console.Interruption());
    for (const DeferredUnit& unit : plan.deferred) {
        console.Out(UnitLine(rows[unit.index], false,
                             L"It shares its MAC with serial " +
                                 std::to_wstring(rows[unit.with].serial) +
                                 L": apply it on its own, with only that unit switched on."));
    }
    if (summed) {
        return Summed(report, console);
    }
    return report.AllSucceeded() ? kExitAllSucceeded : kExitSomeFailed;
}

// The unit of "apply", checked as a list's line is.
int Apply(const std::vector<std::wstring>& values, Services& services, Console& console) {
    // A header first, so that a serial such as "abc" is refused as a serial, never taken
    // for the header line.
    std::wstring line = L"serial,address,netmask,gateway\n";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i].find_first_of(L",;\"") != std::wstring::npos) {
            return NotUnderstood(console, L"Not a serial number or address: " + values[i]);
        }
        line += (i ? L"," : L"") + values[i];
    }
    const ListReading reading = ReadUnitList(ToUtf8(line), services.tables.OwnAddresses());
    if (reading.problem) {
        ListProblem problem = *reading.problem;
        problem.line = 0;
        return NotUnderstood(console, ListProblemText(problem));
    }
    return ApplyUnits(reading.rows, services, console);
}

// The units of a list's file; nothing when it cannot be read or understood (told).
std::optional<std::vector<UnitRow>> ListOfFile(const std::wstring& file, Services& services,
                                               Console& console) {
    const std::optional<std::wstring> path = services.userFiles.ExistingFile(file);
    FileError error;
    const std::optional<std::string> bytes =
        path ? services.userFiles.ReadFile(*path, error) : std::nullopt;
    if (!bytes) {
        NotUnderstood(console, L"The file " + CleanPath(file) + L" cannot be read.");
        return std::nullopt;
    }
    ListReading reading = ReadUnitList(*bytes, services.tables.OwnAddresses());
    if (reading.problem) {
        NotUnderstood(console, *path + L": " + ListProblemText(*reading.problem));
        return std::nullopt;
    }
    return std::move(reading.rows);
}

int ApplyList(const std::wstring& file, Services& services, Console& console) {
    const std::optional<std::vector<UnitRow>> rows = ListOfFile(file, services, console);
    return rows ? ApplyUnits(*rows, services, console, true) : kExitNotUnderstood;
}

// "ADDRESS FILE SUCCESS" or "ADDRESS FILE FAILED <reason>", as the upload's line.
std::wstring ImageLine(const IPv4Address& address, const std::wstring& file,
                       const Outcome& outcome) {
    return address.ToText() + L" " + file + L" " +
           (outcome.Succeeded() ? L"SUCCESS" : L"FAILED " + OutcomeReason(outcome));
}

// An image of update-list: "-" for none, else the path as given (made absolute when it
// names a file: one that does not fails every unit with its reason).
std::wstring ImageArgument(const std::wstring& typed, Services& services) {
    if (TrimBlanks(typed) == L"-") {
        return L"";
    }
    return services.userFiles.ExistingFile(typed).value_or(CleanPath(typed));
}

int UpdateList(const std::vector<std::wstring>& values, Services& services, Console& console) {
    const ImageChoice images{ImageArgument(values[1], services),
                             ImageArgument(values[2], services)};
    if (!images.Any()) {
        return NotUnderstood(console, L"No image: give the firmware, the web pages or both.");
    }
    const std::optional<std::vector<UnitRow>> rows = ListOfFile(values[0], services, console);
    if (!rows) {
        return kExitNotUnderstood;
    }
    const std::wstring files[] = {CleanPath(values[1]), CleanPath(values[2])};
    std::wstring whyNot;
    const UnitPlan plan = PlanRows(*rows, services, MacSharing::Together, whyNot);
    if (!plan.Runs()) {
        for (const UnitRow& row : *rows) {
            console.Out(ImageLine(row.address, L"-", {Failure::NotSent, whyNot}));
        }
        return kExitSomeFailed;
    }
    RunReport report(plan.jobs.size(),
                     ImagesTaken(!images.firmware.empty(), !images.webPages.empty()));
    ImageEvents events;
    events.image = [&](std::size_t index, ImageKind kind, const Done& done) {
        console.Out(ImageLine((*rows)[index].address, files[kind == ImageKind::Firmware ? 0 : 1],
                              done.outcome));
        if (done.recordFailure) {
            console.Error(*done.recordFailure);
        }
    };
    events.finished = [&](std::size_t, bool took, const Done&) { report.Finished(took); };
    RunImages({services.Upload(), services.userFiles, services.record}, images, plan.jobs, events,
              console.Interruption());
    return Summed(report, console);
}

// The unit's address and the netmask and gateway its check echo carries, checked as the
// address page checks an address: nothing when it may not be used (told).
std::optional<std::pair<IPv4Address, UnitSettings>>
UploadTarget(const std::wstring& typed, Services& services, Console& console) {
    const std::optional<IPv4Address> address = ParseIPv4(TrimBlanks(typed));
    if (!address || *address == IPv4Address{}) {
        NotUnderstood(console, L"Not an IPv4 address: " + typed);
        return std::nullopt;
    }
    const UnitSettings settings =
        UploadSettingsFor(*address, KeptAddressPageValues(services.settings),
                          services.record.LastSettingsOf(*address), services.tables.Adapters());
    const AddressFault fault =
        CheckUnitAddress(*address, settings.netmask, services.tables.OwnAddresses());
    if (fault != AddressFault::None) {
        NotUnderstood(console, address->ToText() + L": " + AddressFaultText(fault));
        return std::nullopt;
    }
    return std::pair{*address, settings};
}

int Upload(const std::vector<std::wstring>& values, Services& services, Console& console) {
    const auto target = UploadTarget(values[0], services, console);
    if (!target) {
        return kExitNotUnderstood;
    }
    const auto& [address, settings] = *target;
    const std::wstring head = address.ToText() + L" " + CleanPath(values[1]) + L" ";
    const std::optional<std::wstring> path = services.userFiles.ExistingFile(values[1]);
    if (!path) {
        console.Out(head + L"FAILED File not found");
        return kExitSomeFailed;
    }
    // A firmware image takes the unit longer to write than web pages: the same fixed wait
    // as on the update page before "SUCCESS" is true.
    const unsigned fixedWaitMs = FixedWaitTicks(ImageKindOf(CleanPath(values[1]))) * 1000;
    const UploadRequest request{
        address,          settings.netmask,
        settings.gateway, *path,
        fixedWaitMs,      UnaskedPath(services.tables.Adapters(), services.settings, address)};
    std::optional<std::uint64_t> answeredAt;
    const SentImage sent = SendImage(
        services.Upload(), services.userFiles, request,
        [&] { answeredAt = services.clock.Milliseconds(); }, console.Interruption());
    // Sent, but the unit's time to write it was cut short: not yet a success.
    const bool waited =
        sent.outcome.Succeeded() && answeredAt &&
        UploadDeadline(*answeredAt, fixedWaitMs).Await(services.clock, console.Interruption());
    const Done done = RecordUpload(services.record, sent, waited);
    const bool succeeded = done.outcome.Succeeded();
    console.Out(head + (succeeded ? L"SUCCESS" : L"FAILED " + OutcomeReason(done.outcome)));
    if (done.recordFailure) {
        console.Error(*done.recordFailure);
    }
    return succeeded ? kExitAllSucceeded : kExitSomeFailed;
}

// The units on the network, one line each by address: "MAC ADDRESS SERIALS".
int Find(const std::vector<std::wstring>& values, Services& services, Console& console) {
    const std::vector<Adapter> adapters = services.tables.Adapters();
    const SearchRequest request =
        PlanSearchCommand(values, adapters, AdapterToSearch(adapters, services.settings),
                          services.tables.OwnAddresses());
    if (!request.plan) {
        return NotUnderstood(console, request.problem);
    }
    const std::vector<FoundUnit> found = FindUnits({services.neighbourhood, services.clock},
                                                   *request.plan, {}, console.Interruption());
    for (const FoundUnit& unit : found) {
        console.Out(unit.mac + L" " + unit.address.ToText() + L" " + unit.serials);
    }
    return found.empty() ? kExitSomeFailed : kExitAllSucceeded;
}

} // namespace

int RunCommand(const Command& command, Services& services, Console& console) {
    switch (command.kind) {
    case Command::Apply:
        return Apply(command.values, services, console);
    case Command::ApplyList:
        return ApplyList(command.values[0], services, console);
    case Command::Upload:
        return Upload(command.values, services, console);
    case Command::UpdateList:
        return UpdateList(command.values, services, console);
    case Command::Find:
        return Find(command.values, services, console);
    case Command::Window:
    case Command::NotUnderstood:
        break;
    }
    return NotUnderstood(console, L"");
}
