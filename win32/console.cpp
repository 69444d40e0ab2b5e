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
// leaves its stop source here while it lives.
std::stop_source* interruptedConsole = nullptr;

BOOL WINAPI OnConsoleControl(DWORD) {
    if (interruptedConsole) {
        interruptedConsole->request_stop();
    }
    return TRUE; // the work ends itself, after its clean-up
}

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
    interruptedConsole = &interrupted_;
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
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
