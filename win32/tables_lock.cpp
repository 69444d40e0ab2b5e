// The shared lock on the PC's tables.
#include "win32/tables_lock.h"

#include <utility>

#include "win32/data_store.h"
#include "win32/win32.h"

namespace {

constexpr wchar_t kName[] = L"Tables";
// On a system without private namespaces: administrators may name global objects.
constexpr wchar_t kUnshielded[] = L"Global\\Varnok.Tables";
// How often a wait looks whether it should stop.
constexpr DWORD kSliceMs = 250;

using Acquisition = TablesLock::Acquisition;
using Refusal = TablesLock::Acquisition::Refusal;

class MutexLock : public TablesLock::Held {
public:
    explicit MutexLock(UniqueHandle mutex) : mutex_(std::move(mutex)) {}
    ~MutexLock() override { ::ReleaseMutex(mutex_.get()); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    UniqueHandle mutex_;
};

// Waits for `mutex` in slices, as long as `patienceMs` and `stop` allow.
Acquisition Wait(UniqueHandle mutex, unsigned patienceMs, std::stop_token stop,
                 const std::function<void()>& waiting) {
    bool told = false;
    for (unsigned long long waited = 0;; waited += kSliceMs) {
        const DWORD slice = patienceMs == 0 ? 0 : kSliceMs;
        const DWORD result = ::WaitForSingleObject(mutex.get(), slice);
        if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
            return {std::make_unique<MutexLock>(std::move(mutex)), Refusal::None, L""};
        }
        if (stop.stop_requested()) {
            return {nullptr, Refusal::Stopped, L""};
        }
        if (waited + slice >= patienceMs) {
            return {nullptr, Refusal::Busy,
                    L"Another Varnok has been changing the PC's tables for " +
                        std::to_wstring(patienceMs / 1000) +
                        L" s and still is: nothing was changed. Try again once it has finished."};
        }
        if (!told && waiting) {
            waiting(); // once, when the lock was not free at once
            told = true;
        }
    }
}

Acquisition NotHad(const std::wstring& why) {
    return {nullptr, Refusal::Unavailable,
            L"The lock on the PC's tables could not be had (" + why + L"): nothing was changed."};
}

} // namespace

std::optional<std::wstring> TablesLockName(const VarnokNamespace& names) {
    return names.Name(kName, kUnshielded);
}

TablesLock::Acquisition TakeTablesLock(const VarnokNamespace& names, unsigned patienceMs,
                                       std::stop_token stop, const std::function<void()>& waiting) {
    const std::optional<std::wstring> name = TablesLockName(names);
    if (!name) {
        return NotHad(names.Failure());
    }
    SharedMutex shared = OpenSharedMutex(*name);
    if (shared.foreign) {
        return {nullptr, Refusal::Foreign,
                L"The lock on the PC's tables (" + *name +
                    L") belongs to a program that is not Varnok's: nothing was changed. Find "
                    L"and end that program, or restart the PC."};
    }
    if (!shared.mutex) {
        return NotHad(SystemErrorText(shared.error));
    }
    return Wait(std::move(shared.mutex), patienceMs, stop, waiting);
}
