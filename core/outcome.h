// What an assignment or an upload ended with: success, or the step that failed and why.
// The pages, the list and the command line decide how to show it.
#pragma once

#include <string>
#include <utility>

enum class Failure {
    None,
    RouteNotStarted,    // route.exe could not be started for the host route; detail: why
    RouteNotMade,       // route.exe ran, but the route table lacks the route; detail: why
    ArpNotStarted,      // arp.exe could not be started for the static entry; detail: why
    ArpEntryNotMade,    // arp.exe ran, but the neighbour table lacks the entry; detail: why
    AddressInUse,       // another device answers for the address; detail: the whole message
    EchoLibraryMissing, // ICMP.DLL or one of its exports is missing
    EchoHandleFailed,   // IcmpCreateFile gave no handle
    NoAnswer,           // three echoes without a success reply; code: the last error status
    ClientNotStarted,   // the TFTP client could not be started; detail: why
    ClientFailed,       // the client ended with exit code `code`; detail: its last line
    ClientTimedOut,     // the client ran past its time and was ended
    ImageUnreadable,    // the image could not be opened and read; detail: why
    Interrupted,        // the program was closed or Ctrl+C pressed; detail: what was cut short
    InternalError,      // the work ended with an error of Varnok's own; detail: which
    TablesUnavailable,  // the lock on the PC's tables was not had; detail: why (nothing done)
    NotSent,            // an image left unsent, as an earlier one failed; detail: why
};

struct Outcome {
    Outcome() = default;
    Outcome(Failure failure, std::wstring detail = {}, unsigned long code = 0)
        : failure(failure), detail(std::move(detail)), code(code) {}

    Failure failure = Failure::None;
    std::wstring detail;
    unsigned long code = 0;

    bool Succeeded() const { return failure == Failure::None; }
};

// The words for an error of Varnok's own (running out of memory, say) that ended a piece
// of work: what it says, and that nothing else of that work was done.
inline std::wstring InternalErrorText(const std::wstring& what) {
    return L"Varnok met an internal error (" + what + L") and did not finish this work.";
}
