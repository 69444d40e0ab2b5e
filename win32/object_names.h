// The names of the kernel objects Varnok's processes share: the lock on the PC's tables
// and the session's instance. Any program may make an object under a name of the kernel's
// own namespaces (Global\, Local\) before Varnok does, and so hold Varnok up or shut it
// out. Varnok's names live in a private namespace instead: its boundary holds only the
// Administrators group, so only an elevated administrator can make it, and only
// administrators and the system may open it. The application object opens it once and
// holds it for the process's whole life: the namespace lives as long as any Varnok holds
// it, so every Varnok that runs finds the same objects under the same names.
#pragma once

#include <optional>
#include <string>

#include "win32/win32.h"

// A private namespace's handle, closed without destroying the namespace.
inline void CloseNamespace(HANDLE opened) {
    ::ClosePrivateNamespace(opened, 0);
}
using UniqueNamespace = UniqueOwner<HANDLE, CloseNamespace>;

class VarnokNamespace {
public:
    // Opens the namespace, making it when no process holds it (two Varnoks that start at
    // once: one makes it, the other opens it). Held until destroyed.
    VarnokNamespace();
    VarnokNamespace(const VarnokNamespace&) = delete;
    VarnokNamespace& operator=(const VarnokNamespace&) = delete;

    // The system offers private namespaces: Windows does; Wine 8 does not.
    bool Private() const { return state_ == State::Private; }
    // The full name of Varnok's object `name`: in the namespace, or on a system without
    // private namespaces `unshielded`, a name of the kernel's own namespaces. Nothing when
    // the namespace could not be had: Failure() says why.
    std::optional<std::wstring> Name(const std::wstring& name,
                                     const std::wstring& unshielded) const;
    const std::wstring& Failure() const { return failure_; }

private:
    enum class State { Private, None, Failed } state_ = State::Failed;
    UniqueNamespace handle_; // closed, never destroyed: other Varnoks may hold it
    std::wstring failure_;
};

// A shared mutex of Varnok's under `name` (not taken), made with rights that only
// administrators and the system have, or the one another Varnok made.
struct SharedMutex {
    UniqueHandle mutex;   // null: the name cannot be had
    bool existed = false; // another process made it
    // The name is held by something that is not Varnok's: an object of another type, or a
    // mutex that shuts administrators out or that administrators do not own.
    bool foreign = false;
    DWORD error = ERROR_SUCCESS; // why there is no mutex, when not foreign
};
SharedMutex OpenSharedMutex(const std::wstring& name);
