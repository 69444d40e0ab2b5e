// The list of units kept in Varnok's folder after every change, so that neither closing
// the program nor a crash loses a unit's state. While a cabinet is addressed its units
// change together: the writing then goes to a thread of its own, the newest state
// replacing any older one that still waits, so that one write covers them all and the
// window never waits for the disk.
#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>
#include <stop_token>
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
std::optional<std::wstring> KeepList(DataStore& store, const std::string& text);

class ListKeeper {
public:
    explicit ListKeeper(DataStore& store);
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
    void Work(std::stop_token stop);

    DataStore& store_;
    std::mutex mutex_;
    std::condition_variable_any changed_;
    std::optional<std::string> waiting_;
    bool writing_ = false;
    std::optional<std::wstring> failure_;
    std::jthread thread_; // last: ends before the rest goes
};
