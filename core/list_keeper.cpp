#include "core/list_keeper.h"

#include <utility>

std::optional<std::wstring> KeepList(DataStore& store, const std::string& text) {
    if (store.Replace(kListFile, text)) {
        store.Remove(kPendingListFile);
        return std::nullopt;
    }
    const bool waits = store.Replace(kPendingListFile, text);
    return L"The list of units cannot be kept in " + store.PathOf(kListFile) +
           (waits ? L". Its newest state waits in " + store.PathOf(kPendingListFile) +
                        L" and takes its place as soon as it can be written."
                  : L", nor in " + store.PathOf(kPendingListFile) + L".");
}

ListKeeper::ListKeeper(DataStore& store)
    : store_(store), thread_([this](std::stop_token stop) { Work(stop); }) {}

ListKeeper::~ListKeeper() {
    thread_.request_stop();
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

void ListKeeper::Work(std::stop_token stop) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        // On a stop, what still waits is written before the thread ends.
        changed_.wait(lock, stop, [this] { return waiting_.has_value(); });
        if (!waiting_) {
            return; // stopped, nothing left
        }
        const std::string text = *std::exchange(waiting_, std::nullopt);
        writing_ = true;
        lock.unlock();
        std::optional<std::wstring> failure = KeepList(store_, text);
        lock.lock();
        writing_ = false;
        if (failure) {
            failure_ = std::move(failure);
        }
        changed_.notify_all();
    }
}
