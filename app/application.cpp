// Start-up.
#include "app/application.h"

#include <winsock2.h>

#include <commctrl.h>
#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/notices_win32.h"
#include "app/tab_container.h"
#include "core/arguments.h"
#include "core/command.h"
#include "core/setup.h"
#include "res/string_ids.h"
#include "win32/console.h"
#include "win32/settings.h"
#include "win32/single_instance.h"
#include "win32/system.h"
#include "win32/win32.h"

namespace {

std::vector<std::wstring> CommandLineArguments() {
    int count = 0;
    LPWSTR* split = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::wstring> arguments;
    if (!split) {
        return arguments; // nothing examined: the log stays off
    }
    arguments.assign(split, split + count);
    ::LocalFree(split);
    return arguments;
}

// Windows Sockets 1.1 for the life of the program.
class SocketsSession {
public:
    SocketsSession() {
        WSADATA data;
        started_ = ::WSAStartup(MAKEWORD(1, 1), &data) == 0;
        ok_ = started_ && data.wVersion == MAKEWORD(1, 1);
    }
    ~SocketsSession() {
        if (started_) {
            ::WSACleanup();
        }
    }
    SocketsSession(const SocketsSession&) = delete;
    SocketsSession& operator=(const SocketsSession&) = delete;
    bool ok() const { return ok_; }

private:
    bool started_ = false;
    bool ok_ = false;
};

// A command line's work, beside any window that is open: the lock on the PC's tables keeps
// the two from changing them at once.
int RunWithoutWindow(const Command& command) {
    Console console;
    SocketsSession sockets;
    if (!sockets.ok()) {
        console.Error(LoadStringText(IDS_WINSOCK_FAILED));
        return kExitSomeFailed;
    }
    SetRegistryKey(L"Strandel");
    Win32System system;
    UndoPendingChange(system);
    return RunCommand(command, system, console);
}

} // namespace

int Application::InitInstance() {
    const std::vector<std::wstring> arguments = CommandLineArguments();
    ApplyArguments(arguments);
    if (const Command command = ParseCommand(arguments); command.kind != Command::Window) {
        return RunWithoutWindow(command);
    }

    // A second start changes nothing: it shows the first one's window and ends.
    SingleInstance instance;
    if (!instance.First() && !instance.TakeOverOrShow(L"Varnok 2.6")) {
        return 0;
    }

    INITCOMMONCONTROLSEX controls{sizeof controls, 0xFF};
    ::InitCommonControlsEx(&controls);

    Win32Notices notices;
    SocketsSession sockets;
    if (!sockets.ok()) {
        notices.Warn(LoadStringText(IDS_WINSOCK_FAILED));
        return 1;
    }
    SetRegistryKey(L"Strandel");

    // A run that was killed halfway (ended from the task manager, power lost) may have
    // left its ARP entry and host route behind: they go before anything else runs.
    Win32System system;
    UndoPendingChange(system);

    auto mainWindow = std::make_unique<TabContainer>(system, notices);
    mainWindow->RunModal(nullptr);
    mainWindow.reset(); // any work still running ends here, its clean-up done
    instance.Release();
    return 0;
}
