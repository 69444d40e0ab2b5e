// Start-up.
#include "app/application.h"

#include <winsock2.h>

#include <commctrl.h>
#include <shellapi.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/notices_win32.h"
#include "app/tab_container.h"
#include "core/command.h"
#include "core/outcome.h"
#include "core/setup.h"
#include "core/text.h"
#include "res/string_ids.h"
#include "win32/com.h"
#include "win32/console.h"
#include "win32/data_store.h"
#include "win32/registry_settings.h"
#include "win32/roles.h"
#include "win32/single_instance.h"
#include "win32/system_library.h"
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

// One of each role the system plays, for the whole process.
class ProcessServices {
public:
    explicit ProcessServices(bool debug) : log_(logFile_, debug) {}
    ProcessServices(const ProcessServices&) = delete;
    ProcessServices& operator=(const ProcessServices&) = delete;

    Services& Get() { return services_; }
    const VarnokNamespace& Names() const { return names_; }

private:
    // Opened first and held to the end: the names of the lock and the instance live in it.
    VarnokNamespace names_;
    Win32OwnFiles ownFiles_;
    Win32UserFiles userFiles_;
    Win32LogFile logFile_;
    Log log_;
    RegistrySettings settings_{L"Strandel"};
    Win32Tables tables_{log_};
    Win32Echoes echoes_;
    Win32Clock clock_;
    Win32Client client_{log_};
    WindowsFirewall firewall_;
    MachineChangeRecord changes_{L"Strandel", settings_};
    NamedTablesLock lock_{names_};
    Win32Desktop desktop_{log_};
    CommissioningRecord record_{ownFiles_, log_};
    Win32Neighbourhood neighbourhood_;
    Services services_{tables_,   echoes_,  clock_, client_,  firewall_, ownFiles_, userFiles_,
                       settings_, changes_, lock_,  desktop_, log_,      record_,   neighbourhood_};
};

// After an error of Varnok's own: the PC's tables as they were, and a word on what happened.
void RecoverFrom(const std::exception& error, Services& services) {
    UndoPendingChange(services.tables, services.changes, services.lock, services.log);
    services.log.Write(InternalErrorText(FromUtf8(error.what())));
}

// Nothing when this start is the session's one window; else its exit status. A start that
// finds the first one's window shows it and ends; one that cannot tell, or finds the first
// one without a window, says why and ends.
std::optional<int> NotTheWindow(SingleInstance& instance, Log& log) {
    std::wstring refusal;
    if (!instance.Reason().empty()) {
        refusal = LoadStringText(IDS_INSTANCE_NOT_HAD) + L"\r\n" + instance.Reason();
    } else if (instance.First()) {
        return std::nullopt;
    } else {
        switch (instance.TakeOverOrShow(L"Varnok 2.6")) {
        case SingleInstance::Outcome::Taken:
            return std::nullopt;
        case SingleInstance::Outcome::Shown:
            return 0;
        case SingleInstance::Outcome::NoWindow:
            refusal = LoadStringText(IDS_INSTANCE_NO_WINDOW);
            break;
        }
    }
    log.Write(refusal);
    ::MessageBoxW(nullptr, refusal.c_str(), L"Varnok", MB_OK | MB_ICONERROR);
    return 1;
}

// The window, until it closes. A second start changes nothing: it shows the first one's
// window and ends.
int RunWindow(Services& services, const VarnokNamespace& names) {
    SingleInstance instance(names);
    if (const std::optional<int> status = NotTheWindow(instance, services.log)) {
        return *status;
    }
    // The common controls' version 6 (the manifest names it), loaded at run time.
    const SystemLibrary commonControls(L"comctl32.dll");
    const auto initialise =
        commonControls.Find<decltype(&::InitCommonControlsEx)>("InitCommonControlsEx");
    INITCOMMONCONTROLSEX controls{sizeof controls, 0xFF};
    if (initialise) {
        initialise(&controls);
    }
    Win32Notices notices(services.log);
    const SocketsSession sockets;
    if (!sockets.ok()) {
        notices.Warn(LoadStringText(IDS_WINSOCK_FAILED));
        return 1;
    }
    UndoPendingChange(services.tables, services.changes, services.lock, services.log);
    auto mainWindow = std::make_unique<TabContainer>(services, notices);
    mainWindow->RunModal(nullptr);
    mainWindow.reset(); // any work still running ends here, its clean-up done
    // Lines of the record that wait are added now if they can be; one kept nowhere was
    // said when it came.
    services.record.Flush();
    instance.Release();
    return 0;
}

// A command line's work, beside any window that is open: the lock on the PC's tables keeps
// the two from changing them at once.
int RunWithoutWindow(const Command& command, Services& services) {
    Console console;
    // COM on this thread as on the window's workers: the firewall rule needs it.
    const ComScope com;
    const SocketsSession sockets;
    if (!sockets.ok()) {
        console.Error(LoadStringText(IDS_WINSOCK_FAILED));
        return kExitSomeFailed;
    }
    UndoPendingChange(services.tables, services.changes, services.lock, services.log);
    const int exitCode = RunCommand(command, services, console);
    if (const std::optional<std::wstring> unkept = services.record.Flush()) {
        console.Error(*unkept);
    }
    console.Finished();
    return exitCode;
}

} // namespace

// The installer's own argument at the program's removal: the client's folders that are
// Varnok's own go (as SYSTEM, which must never follow anybody's link or folder elsewhere,
// hence Varnok's check rather than the installer's removal by name).
constexpr wchar_t kRemoveClientArgument[] = L"/remove-client";

int Application::InitInstance() {
    const std::vector<std::wstring> arguments = CommandLineArguments();
    if (arguments.size() == 2 && arguments[1] == kRemoveClientArgument) {
        RemoveClientFolders(DefaultClientFolder());
        return 0;
    }
    const Command command = ParseCommand(arguments);
    ProcessServices services(command.debug);
    // Both paths first undo what a run killed halfway (ended from the task manager, power
    // lost) left in the PC's tables. No error of Varnok's own ends it without a word.
    try {
        return command.kind == Command::Window ? RunWindow(services.Get(), services.Names())
                                               : RunWithoutWindow(command, services.Get());
    } catch (const std::exception& error) {
        RecoverFrom(error, services.Get());
        const std::wstring text = InternalErrorText(FromUtf8(error.what()));
        if (command.kind == Command::Window) {
            ::MessageBoxW(nullptr, text.c_str(), L"Varnok", MB_OK | MB_ICONERROR);
            return 1;
        }
        Console().Error(text);
        return kExitNotUnderstood;
    }
}
