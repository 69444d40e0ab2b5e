// Start-up.
#include "app/application.h"

#include <winsock2.h>

#include <commctrl.h>
#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "app/notices_win32.h"
#include "app/tab_container.h"
#include "core/arguments.h"
#include "core/setup.h"
#include "res/string_ids.h"
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

} // namespace

int Application::InitInstance() {
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
    ApplyArguments(CommandLineArguments());

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
