// Telling the user: the parts that are the same on every system.
#include "app/notices.h"

#include "core/log.h"
#include "res/string_ids.h"

void Notices::Message(const std::wstring& text) {
    const std::wstring shown = text.substr(0, kMaxMessageChars);
    log_.Write(shown);
    ShowBox(shown);
}

void Notices::MessageWithAddress(const std::wstring& text, const std::wstring& address) {
    log_.Write(text + L" " + address);
    ShowAddressBox(text, address);
}

void ShowAssignmentOutcome(Notices& notices, const Outcome& outcome) {
    // A lock that was not had (its name held by another program, another Varnok keeping
    // the tables too long) is said too: nothing was tried, and only the reason tells why.
    const bool says =
        outcome.failure == Failure::RouteNotMade || outcome.failure == Failure::ArpEntryNotMade ||
        outcome.failure == Failure::InternalError || outcome.failure == Failure::TablesUnavailable;
    ShowOutcome(notices, outcome, says ? outcome.detail : std::wstring());
}

void ShowOutcome(Notices& notices, const Outcome& outcome, const std::wstring& reason) {
    if (outcome.failure == Failure::AddressInUse) {
        // Nothing was tried on the unit: the message says all there is.
        notices.Message(outcome.detail);
        return;
    }
    if (outcome.failure == Failure::EchoLibraryMissing) {
        notices.MessageId(IDS_ICMP_LOAD_FAILED);
    } else if (outcome.failure == Failure::EchoHandleFailed) {
        notices.MessageId(IDS_ICMP_HANDLE_FAILED);
    }
    notices.MessageId(outcome.Succeeded() ? IDS_SUCCESS : IDS_FAILED,
                      outcome.Succeeded() ? std::wstring() : reason);
}
