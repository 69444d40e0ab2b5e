// The shared lock on the PC's tables.
#include "win32/tables_lock.h"

#include "win32/win32.h"

namespace {

// Administrators may name global objects; the local name is the fallback elsewhere.
constexpr const wchar_t* kNames[] = {L"Global\\Varnok.Tables", L"Local\\Varnok.Tables"};

class MutexLock : public TablesLock::Held {
public:
    explicit MutexLock(UniqueHandle mutex) : mutex_(std::move(mutex)) {}
    ~MutexLock() override { ::ReleaseMutex(mutex_.get()); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    UniqueHandle mutex_;
};

} // namespace

std::unique_ptr<TablesLock::Held> WaitForTablesLock(bool wait) {
    for (const wchar_t* name : kNames) {
        UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, name));
        if (!mutex) {
            continue;
        }
        const DWORD waited = ::WaitForSingleObject(mutex.get(), wait ? INFINITE : 0);
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
            return std::make_unique<MutexLock>(std::move(mutex));
        }
        if (waited == WAIT_TIMEOUT) {
            return nullptr;
        }
    }
    return std::make_unique<TablesLock::Held>();
}
