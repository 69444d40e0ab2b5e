// The list of units kept in Varnok's folder after every change, so that neither closing
// the program nor a crash loses a unit's state. While a cabinet is addressed its units
// change together: the writing then goes to a thread of its own, the newest state
// replacing any older one that still waits, so that one write covers them all and the
// window never waits for the disk.
#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "core/data_store.h"

constexpr wchar_t kListFile[] = L"units.csv";
// Beside it: the newest state, while the list itself cannot be written (a spreadsheet
// holding it open); it takes the list's place as soon as it can, at the latest at the
// next start.
constexpr wchar_t kPendingListFile[] = L"units.pending.csv";

// Writes `text` as the kept list, or beside it; what went wrong, for the technician, when
// the list itself could not be written.
std::optional<std::wstring> KeepList(OwnFiles& files, const std::string& text);

// The kept list's text: the state that waits beside it when that is the newer (a pending
// state older than the list, whose removal once failed, is removed now); nothing when
// neither is there.
std::optional<std::string> KeptListText(OwnFiles& files);

class ListKeeper {
public:
    explicit ListKeeper(OwnFiles& files);
    // Whatever waits is written first.
    ~ListKeeper();
    ListKeeper(const ListKeeper&) = delete;
    ListKeeper& operator=(const ListKeeper&) = delete;

    // Hands `text` over to be written soon; returns at once.
    void KeepSoon(std::string text);
    // Waits until all that was handed over is written; the last failure since the last
    // call, if any.
    std::optional<std::wstring> Flush();

private:
    void Work();

    OwnFiles& files_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<std::string> waiting_;
    bool writing_ = false;
    bool ending_ = false;
    std::optional<std::wstring> failure_;
    std::jthread thread_; // last: ends before the rest goes
};
