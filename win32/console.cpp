// Writing to the console Varnok was started from.
#include "win32/console.h"

#include "core/text.h"
#include "win32/console_line.h"

namespace {

HANDLE HandedDown(DWORD which) {
    const HANDLE handle = ::GetStdHandle(which);
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

// A console's control handler gets no context of its own: the one Console of the process
// leaves itself here while it lives.
Console* interruptedConsole = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event) {
    return interruptedConsole && interruptedConsole->HandleControl(event) ? TRUE : FALSE;
}

// Less than the five seconds Windows gives a closing console's handler.
constexpr DWORD kCleanUpWaitMs = 4500;

} // namespace

Console::~Console() {
    ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    interruptedConsole = nullptr;
}

Console::Console() : out_(HandedDown(STD_OUTPUT_HANDLE)), error_(HandedDown(STD_ERROR_HANDLE)) {
    if (!out_) {
        AttachParent();
    }
    // Registered once attached: the handler is for whichever console the process has.
    interruptedConsole = this;
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

bool Console::HandleControl(unsigned long event) {
    interrupted_.request_stop();
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        ::WaitForSingleObject(finished_.get(), kCleanUpWaitMs);
    }
    return true; // the work ends itself, after its clean-up
}

void Console::AttachParent() {
    if (!::AttachConsole(ATTACH_PARENT_PROCESS)) {
        return;
    }
    attached_ = OwnFile(::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    out_ = attached_.get();
    if (!error_) {
        error_ = out_;
    }
    // The prompt was printed when Varnok started; the first line goes below it.
    Write(out_, L"");
}

void Console::Write(HANDLE to, const std::wstring& line) {
    WriteConsoleLine(to, ToUtf8(line));
}
