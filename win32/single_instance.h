// One Varnok window per user session: a second one would only confuse (the first one's
// values and list are where the technician left them). A mutex in Varnok's namespace
// (win32/object_names.h), one per session.
#pragma once

#include <string>

#include "win32/object_names.h"
#include "win32/win32.h"

class SingleInstance {
public:
    // Becomes the session's instance, or finds that another one is, or that the name
    // cannot be had (Reason() says why).
    explicit SingleInstance(const VarnokNamespace& names);
    ~SingleInstance() { Release(); }
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    bool First() const { return owned_; }
    // Why the instance's name could not be had (it is held by a program that is not
    // Varnok's, or the system refused it); empty when it was.
    const std::wstring& Reason() const { return reason_; }
    // Lets the next start be the instance (the process may take a moment to end).
    void Release();

    // For a start that is not the first: brings the first one's window (a dialog titled
    // `title`) to the front (Shown); or, when the first one ends meanwhile, becomes the
    // instance (Taken); or finds no such window while the first one holds on (NoWindow).
    enum class Outcome { Taken, Shown, NoWindow };
    Outcome TakeOverOrShow(const wchar_t* title);

private:
    UniqueHandle mutex_;
    bool owned_ = false;
    std::wstring reason_;
};
