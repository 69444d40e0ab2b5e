// Keeping the list of units.
#include "core/list_keeper.h"

#include <utility>

std::optional<std::wstring> KeepList(OwnFiles& files, const std::string& text) {
    const FileError written = files.Replace(kListFile, text);
    if (!written) {
        files.Remove(kPendingListFile); // should it stay, the next start sees it is older
        return std::nullopt;
    }
    const FileError waits = files.Replace(kPendingListFile, text);
    return L"The list of units cannot be kept in " + files.PathOf(kListFile) + L" (" +
           files.Words(written) + L")" +
           (!waits ? L". Its newest state waits in " + files.PathOf(kPendingListFile) +
                         L" and takes its place as soon as it can be written."
                   : L", nor in " + files.PathOf(kPendingListFile) + L" (" + files.Words(waits) +
                         L").");
}

std::optional<std::string> KeptListText(OwnFiles& files) {
    FileError error;
    std::optional<std::string> list = files.Read(kListFile, error);
    std::optional<std::string> waiting = files.Read(kPendingListFile, error);
    if (!waiting) {
        return list;
    }
    const std::optional<std::uint64_t> listAt = files.WrittenAt(kListFile);
    const std::optional<std::uint64_t> waitingAt = files.WrittenAt(kPendingListFile);
    if (list && listAt && waitingAt && *waitingAt < *listAt) {
        files.Remove(kPendingListFile); // stale: the list was written after it
        return list;
    }
    return waiting;
}

ListKeeper::ListKeeper(OwnFiles& files) : files_(files), thread_([this] { Work(); }) {}

ListKeeper::~ListKeeper() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    changed_.notify_all();
}

void ListKeeper::KeepSoon(std::string text) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        waiting_ = std::move(text);
    }
    changed_.notify_all();
}

std::optional<std::wstring> ListKeeper::Flush() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !waiting_ && !writing_; });
    return std::exchange(failure_, std::nullopt);
}

void ListKeeper::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        // When ending, what still waits is written before the thread ends. (A plain flag,
        // not a stop token: a stop_callback's removal can hang with GCC 12 on MinGW.)
        changed_.wait(lock, [this] { return waiting_.has_value() || ending_; });
        if (!waiting_) {
            return; // ending, nothing left
        }
        const std::string text = *std::exchange(waiting_, std::nullopt);
        writing_ = true;
        lock.unlock();
        std::optional<std::wstring> failure = KeepList(files_, text);
        lock.lock();
        writing_ = false;
        if (failure) {
            failure_ = std::move(failure);
        }
        changed_.notify_all();
    }
}
