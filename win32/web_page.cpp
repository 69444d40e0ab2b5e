// Opening a web page through Explorer's desktop window.
#include "win32/web_page.h"

#include <exdisp.h>
#include <objbase.h>
#include <oleauto.h>
#include <servprov.h>
#include <shldisp.h>
#include <shobjidl.h>

#include <cwchar>

#include "core/log.h"
#include "win32/com.h"
#include "win32/win32.h"

namespace {

// SID_STopLevelBrowser, spelled out: not every SDK's import libraries carry it.
constexpr GUID kTopLevelBrowserService = {
    0x4c96be40, 0x915c, 0x11cf, {0x99, 0xd3, 0x00, 0xaa, 0x00, 0x4a, 0xe8, 0x37}};

std::wstring StepFailed(const wchar_t* step, HRESULT result) {
    wchar_t text[96];
    std::swprintf(text, 96, L"%ls: 0x%08lX", step, static_cast<unsigned long>(result));
    return text;
}

} // namespace

namespace {

// Explorer's list of its windows leads to the desktop window's active view. Nothing when
// it was found, else the step that failed.
std::optional<std::wstring> FindDesktopView(ComOwner<IShellView>& view) {
    ComOwner<IShellWindows> windows;
    HRESULT result = ::CoCreateInstance(__uuidof(ShellWindows), nullptr, CLSCTX_ALL,
                                        __uuidof(IShellWindows), windows.put_void());
    if (FAILED(result)) {
        return StepFailed(L"ShellWindows", result);
    }
    Variant desktop(0); // CSIDL_DESKTOP
    Variant noRoot;
    LONG desktopWindow = 0;
    ComOwner<IDispatch> desktopDispatch;
    result = windows->FindWindowSW(desktop.get(), noRoot.get(), SWC_DESKTOP, &desktopWindow,
                                   SWFO_NEEDDISPATCH, desktopDispatch.put());
    if (result != S_OK || !desktopDispatch) {
        // S_FALSE: no desktop window (Explorer is not the shell).
        return StepFailed(L"FindWindowSW", result == S_OK ? E_NOINTERFACE : result);
    }
    ComOwner<IServiceProvider> services;
    result = desktopDispatch->QueryInterface(__uuidof(IServiceProvider), services.put_void());
    if (FAILED(result)) {
        return StepFailed(L"IServiceProvider", result);
    }
    ComOwner<IShellBrowser> browser;
    result = services->QueryService(kTopLevelBrowserService, __uuidof(IShellBrowser),
                                    browser.put_void());
    if (FAILED(result)) {
        return StepFailed(L"QueryService", result);
    }
    result = browser->QueryActiveShellView(view.put());
    if (FAILED(result) || !view) {
        return StepFailed(L"QueryActiveShellView", FAILED(result) ? result : E_POINTER);
    }
    return std::nullopt;
}

// The view's Shell.Application object, which opens documents inside Explorer's own
// process. Nothing when it was found, else the step that failed.
std::optional<std::wstring> ShellOfView(IShellView& view, ComOwner<IShellDispatch2>& shell) {
    ComOwner<IDispatch> background;
    HRESULT result =
        view.GetItemObject(SVGIO_BACKGROUND, __uuidof(IDispatch), background.put_void());
    if (FAILED(result)) {
        return StepFailed(L"GetItemObject", result);
    }
    ComOwner<IShellFolderViewDual> folderView;
    result = background->QueryInterface(__uuidof(IShellFolderViewDual), folderView.put_void());
    if (FAILED(result)) {
        return StepFailed(L"IShellFolderViewDual", result);
    }
    ComOwner<IDispatch> application;
    result = folderView->get_Application(application.put());
    if (FAILED(result) || !application) {
        return StepFailed(L"get_Application", FAILED(result) ? result : E_POINTER);
    }
    result = application->QueryInterface(__uuidof(IShellDispatch2), shell.put_void());
    if (FAILED(result)) {
        return StepFailed(L"IShellDispatch2", result);
    }
    return std::nullopt;
}

} // namespace

std::optional<std::wstring> OpenThroughDesktopShell(const std::wstring& file,
                                                    const std::wstring& parameters) {
    const ComScope com;
    ComOwner<IShellView> view;
    if (std::optional<std::wstring> failed = FindDesktopView(view)) {
        return failed;
    }
    ComOwner<IShellDispatch2> shell;
    if (std::optional<std::wstring> failed = ShellOfView(*view.get(), shell)) {
        return failed;
    }
    const UniqueBstr fileText(::SysAllocStringLen(file.data(), static_cast<UINT>(file.size())));
    const Variant arguments(parameters);
    const Variant folder(std::wstring{});
    const Variant verb(std::wstring(L"open"));
    const Variant show(SW_SHOWNORMAL);
    const HRESULT result = shell->ShellExecute(fileText.get(), arguments.lend(), folder.lend(),
                                               verb.lend(), show.lend());
    if (result != S_OK) {
        return StepFailed(L"ShellExecute", result);
    }
    return std::nullopt;
}

ProgramRun OpenAsDesktopUser(const std::wstring& file, const std::wstring& parameters, Log& log) {
    const std::optional<std::wstring> failure = OpenThroughDesktopShell(file, parameters);
    if (!failure) {
        return {true, L"", L""};
    }
    // Never opened by Varnok's own shell call instead: which program would open it is
    // for the per-user class registry to say, and it would run elevated.
    const std::wstring text = L"The desktop's shell did not open it (" + *failure + L").";
    log.Write(text);
    return {false, text, L""};
}
