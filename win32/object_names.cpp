// Varnok's private object namespace and the mutexes in it.
#include "win32/object_names.h"

#include <aclapi.h>
#include <sddl.h>

#include "win32/data_store.h"

namespace {

// The namespace's name, as objects' names begin with it ("Varnok\Tables"), and its
// boundary's.
constexpr wchar_t kPrefix[] = L"Varnok";
// Owned by Administrators; the system and Administrators alone may open it. The same for
// the namespace and for each mutex in it: a process outside the boundary could otherwise
// open the namespace and make its objects there first.
constexpr wchar_t kRights[] = L"O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)";
// A namespace found and then gone before it was opened (its last holder ended meanwhile)
// is made again; this many times at most.
constexpr int kAttempts = 5;
// What a mutex's handle is used for: waited on, released, its owner read.
constexpr DWORD kMutexAccess = SYNCHRONIZE | MUTEX_MODIFY_STATE | READ_CONTROL;

void FreeLocal(void* memory) {
    ::LocalFree(memory);
}
void DeleteBoundary(HANDLE boundary) {
    ::DeleteBoundaryDescriptor(boundary);
}
using UniqueBoundary = UniqueOwner<HANDLE, DeleteBoundary>;
using UniqueLocal = UniqueOwner<void*, FreeLocal>;

UniqueLocal VarnokRights() {
    PSECURITY_DESCRIPTOR rights = nullptr;
    ::ConvertStringSecurityDescriptorToSecurityDescriptorW(kRights, SDDL_REVISION_1, &rights,
                                                           nullptr);
    return UniqueLocal(rights);
}

// Only a process whose token holds the Administrators group, enabled (an elevated
// administrator), is inside the boundary; ERROR_SUCCESS or why not.
DWORD AddAdministrators(UniqueBoundary& boundary) {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size)) {
        return ::GetLastError();
    }
    HANDLE descriptor = boundary.release(); // the call may move it
    const BOOL added = ::AddSIDToBoundaryDescriptor(&descriptor, sid);
    const DWORD error = added ? ERROR_SUCCESS : ::GetLastError();
    boundary.reset(descriptor);
    return error;
}

// Makes the namespace, or opens the one another Varnok made; ERROR_SUCCESS or why not.
DWORD MakeOrOpen(HANDLE boundary, UniqueNamespace& opened) {
    const UniqueLocal rights = VarnokRights();
    if (!rights) {
        return ::GetLastError();
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, rights.get(), FALSE};
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        opened.reset(::CreatePrivateNamespaceW(&attributes, boundary, kPrefix));
        error = opened ? ERROR_SUCCESS : ::GetLastError();
        if (error != ERROR_ALREADY_EXISTS) {
            return error;
        }
        opened.reset(::OpenPrivateNamespaceW(boundary, kPrefix));
        error = opened ? ERROR_SUCCESS : ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            return error;
        }
    }
    return error;
}

// The mutex's owner is Administrators or the system: one of Varnok's.
bool OwnedByAdministrators(HANDLE mutex) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR read = nullptr;
    if (::GetSecurityInfo(mutex, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                          nullptr, nullptr, &read) != ERROR_SUCCESS) {
        return false;
    }
    const UniqueLocal owned(read);
    return owner && (::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                     ::IsWellKnownSid(owner, WinLocalSystemSid));
}

} // namespace

VarnokNamespace::VarnokNamespace() {
    ::SetLastError(ERROR_SUCCESS);
    UniqueBoundary boundary(::CreateBoundaryDescriptorW(kPrefix, 0));
    if (!boundary && ::GetLastError() == ERROR_SUCCESS) {
        // Wine 8: a stub that makes nothing and says nothing, beside namespace functions
        // that end the process when called. Windows fails here only for want of memory,
        // and says so.
        state_ = State::None;
        return;
    }
    DWORD error = boundary ? AddAdministrators(boundary) : ::GetLastError();
    if (error == ERROR_SUCCESS) {
        error = MakeOrOpen(boundary.get(), handle_);
    }
    state_ = error == ERROR_SUCCESS ? State::Private : State::Failed;
    if (error != ERROR_SUCCESS) {
        failure_ = SystemErrorText(error);
    }
}

std::optional<std::wstring> VarnokNamespace::Name(const std::wstring& name,
                                                  const std::wstring& unshielded) const {
    switch (state_) {
    case State::Private:
        return std::wstring(kPrefix) + L"\\" + name;
    case State::None:
        return unshielded;
    case State::Failed:
        // Never the same name without the namespace: "Varnok\..." would then be looked
        // up in the session's own namespace, where anyone may make a folder "Varnok".
        break;
    }
    return std::nullopt;
}

SharedMutex OpenSharedMutex(const std::wstring& name) {
    SharedMutex shared;
    const UniqueLocal rights = VarnokRights();
    if (!rights) {
        shared.error = ::GetLastError();
        return shared;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, rights.get(), FALSE};
    shared.mutex.reset(::CreateMutexExW(&attributes, name.c_str(), 0, kMutexAccess));
    const DWORD error = ::GetLastError();
    if (!shared.mutex) {
        // An object of another type holds the name, or a mutex that shuts Varnok out.
        shared.foreign = error == ERROR_INVALID_HANDLE || error == ERROR_ACCESS_DENIED;
        shared.error = error;
        return shared;
    }
    shared.existed = error == ERROR_ALREADY_EXISTS;
    if (shared.existed && !OwnedByAdministrators(shared.mutex.get())) {
        shared.mutex.reset();
        shared.foreign = true;
    }
    return shared;
}
