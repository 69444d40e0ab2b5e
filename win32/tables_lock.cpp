// The shared lock on the PC's tables.
#include "win32/tables_lock.h"

#include <aclapi.h>
#include <sddl.h>

#include <string>

#include "win32/win32.h"

namespace {

// Administrators may name global objects; the local name is the fallback elsewhere.
constexpr const wchar_t* kNames[] = {L"Global\\Varnok.Tables", L"Local\\Varnok.Tables"};
// Owned by Administrators; the system and Administrators alone may open it.
constexpr wchar_t kRights[] = L"O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)";
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

void FreeLocal(void* memory) {
    ::LocalFree(memory);
}

// The mutex's owner is Administrators or the system: one of Varnok's.
bool OwnedByAdministrators(HANDLE mutex) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR read = nullptr;
    if (::GetSecurityInfo(mutex, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                          nullptr, nullptr, &read) != ERROR_SUCCESS) {
        return false;
    }
    const UniqueOwner<void*, FreeLocal> owned(read);
    return owner && (::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                     ::IsWellKnownSid(owner, WinLocalSystemSid));
}

// The mutex under the first name that can be had, made with Varnok's rights when it is
// new; `foreign` when one of that name is someone else's.
UniqueHandle OpenMutex(bool& foreign, const wchar_t*& name) {
    PSECURITY_DESCRIPTOR rights = nullptr;
    ::ConvertStringSecurityDescriptorToSecurityDescriptorW(kRights, SDDL_REVISION_1, &rights,
                                                           nullptr);
    const UniqueOwner<void*, FreeLocal> ownedRights(rights);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, rights, FALSE};
    for (const wchar_t* each : kNames) {
        name = each;
        UniqueHandle mutex(::CreateMutexW(rights ? &attributes : nullptr, FALSE, each));
        if (!mutex) {
            // One that denies Varnok is someone else's; without the right to name global
            // objects, the session's own name is the fallback.
            foreign = ::GetLastError() == ERROR_ACCESS_DENIED;
            if (foreign) {
                return {};
            }
            continue;
        }
        foreign = ::GetLastError() == ERROR_ALREADY_EXISTS && !OwnedByAdministrators(mutex.get());
        return mutex;
    }
    return {};
}

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

} // namespace

TablesLock::Acquisition TakeTablesLock(unsigned patienceMs, std::stop_token stop,
                                       const std::function<void()>& waiting) {
    bool foreign = false;
    const wchar_t* name = kNames[0];
    UniqueHandle mutex = OpenMutex(foreign, name);
    if (!mutex && !foreign) {
        // No mutex at all can be had (cannot happen on a working system): the sequence
        // runs unlocked rather than not at all.
        return {std::make_unique<TablesLock::Held>(), Refusal::None, L""};
    }
    if (foreign) {
        return {nullptr, Refusal::Foreign,
                L"The lock on the PC's tables (" + std::wstring(name) +
                    L") belongs to a program that is not Varnok's: nothing was changed. Find "
                    L"and end that program, or restart the PC."};
    }
    return Wait(std::move(mutex), patienceMs, stop, waiting);
}
