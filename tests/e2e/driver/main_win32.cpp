// Drives a running Varnok through window messages, as a user would with mouse and keys:
//   ui_driver STEP...      (steps: see steps.h)
// Prints "box: <text>", "box-after-ms: <n>" (from the last click) and
// "worst-response-ms: <n>" (the main window's slowest answer while the box was awaited)
// for each box it closes, "check: <text>" for each input check's box, "text <id>: <text>"
// for each read, "focus <id>: all selected" or "not all selected". Exit status 0 when every step
// was done, 1 when one failed (the reason on stderr), 2 for a script it did not understand.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "res/resource_ids.h"
#include "tests/e2e/driver/steps.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr wchar_t kMainTitle[] = L"Varnok 2.6";
constexpr wchar_t kBoxTitle[] = L"Varnok message";
constexpr wchar_t kCheckTitle[] = L"Varnok";   // an input check's box
constexpr int kAdapterList = IDC_ADAPTER_LIST; // the list of the "Network adapter" question

struct Search {
    int id;
    HWND found;
};

// The pages are child dialogs of the main window, so controls are searched at any depth;
// a visible control wins over a hidden one of the same id.
BOOL CALLBACK MatchControl(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    if (::GetDlgCtrlID(window) == search->id) {
        if (!search->found || ::IsWindowVisible(window)) {
            search->found = window;
        }
    }
    return TRUE;
}

// A window may show itself before all its controls exist: give them a moment.
HWND Control(HWND main, int id) {
    const auto end = Clock::now() + std::chrono::seconds(5);
    for (;;) {
        Search search{id, nullptr};
        ::EnumChildWindows(main, MatchControl, reinterpret_cast<LPARAM>(&search));
        if (search.found || Clock::now() >= end) {
            return search.found;
        }
        ::Sleep(50);
    }
}

HWND FindTopLevel(const wchar_t* title, bool dialogOnly) {
    HWND window = nullptr;
    while ((window = ::FindWindowExW(nullptr, window, dialogOnly ? L"#32770" : nullptr, title))) {
        if (::IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

// The longest the main window took to answer a message while a box was awaited.
long long worstResponseMs = 0;

// How long `window` takes to answer a message (at most about 5 s).
long long ResponseMs(HWND window) {
    const auto start = Clock::now();
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &result);
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Waits for a window of that title; meanwhile `probe`, when given, is asked every 20 ms
// whether it still answers.
HWND WaitFor(const wchar_t* title, bool dialogOnly, unsigned seconds, HWND probe = nullptr) {
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    do {
        if (HWND window = FindTopLevel(title, dialogOnly)) {
            return window;
        }
        if (probe && ::IsWindow(probe)) {
            worstResponseMs = std::max(worstResponseMs, ResponseMs(probe));
        }
        ::Sleep(20);
    } while (Clock::now() < end);
    return nullptr;
}

std::wstring Widen(const std::string& text) {
    if (text.empty()) {
        return L"";
    }
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string Narrow(const wchar_t* text) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

bool Fail(const char* what, int id = 0) {
    std::fprintf(stderr, "ui_driver: %s %d\n", what, id);
    return false;
}

// Waits for a box of that title, prints its text as "LABEL: TEXT" (and, for the program's
// own boxes, the time since the last click and the window's slowest answer), presses OK.
bool CloseBox(const wchar_t* title, const char* label, unsigned seconds, HWND main,
              Clock::time_point lastClick) {
    worstResponseMs = 0;
    HWND box = WaitFor(title, true, seconds, main);
    if (!box) {
        std::printf("%s: (none)\n", label);
        return Fail("no box within seconds:", static_cast<int>(seconds));
    }
    const auto after =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastClick);
    wchar_t text[2048] = {};
    ::GetDlgItemTextW(box, 0xFFFF, text, 2048);
    std::printf("%s: %s\n", label, Narrow(text).c_str());
    if (title == kBoxTitle) {
        std::printf("box-after-ms: %lld\nworst-response-ms: %lld\n",
                    static_cast<long long>(after.count()), worstResponseMs);
    }
    std::fflush(stdout);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (::IsWindow(box) && ::IsWindowVisible(box) && Clock::now() < end) {
        ::Sleep(20);
    }
    return true;
}

// The window that has the focus in `control`'s thread, once it is `control` or inside it
// (within 5 s); null if it never is.
HWND FocusIn(HWND control) {
    const DWORD thread = ::GetWindowThreadProcessId(control, nullptr);
    const auto end = Clock::now() + std::chrono::seconds(5);
    do {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        if (::GetGUIThreadInfo(thread, &info) && info.hwndFocus &&
            (info.hwndFocus == control || ::IsChild(control, info.hwndFocus))) {
            return info.hwndFocus;
        }
        ::Sleep(20);
    } while (Clock::now() < end);
    return nullptr;
}

// The tab control tells its parent of a change itself when it handles a key, so the
// page switch runs exactly as after a user's choice. A WM_NOTIFY from this process would
// carry a pointer into the wrong address space.
bool SwitchTab(HWND tabs, unsigned page) {
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < end) {
        const LRESULT current = ::SendMessageW(tabs, TCM_GETCURSEL, 0, 0);
        if (current == static_cast<LRESULT>(page)) {
            return true;
        }
        const WPARAM key = current < static_cast<LRESULT>(page) ? VK_RIGHT : VK_LEFT;
        ::PostMessageW(tabs, WM_KEYDOWN, key, 1);
        ::PostMessageW(tabs, WM_KEYUP, key, 0xC0000001);
        ::Sleep(100);
    }
    return false;
}

// `target` is the window whose controls the steps name: the main window, or a dialog.
bool Run(HWND main, HWND& target, const driver::Step& step, Clock::time_point& lastClick) {
    using driver::Step;
    HWND control = step.control ? Control(target, step.control) : nullptr;
    if (step.control && !control) {
        return Fail("no control", step.control);
    }
    switch (step.kind) {
    case Step::SetText:
        ::SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Widen(step.text).c_str()));
        return true;
    case Step::SetAddress:
        ::SendMessageW(control, IPM_SETADDRESS, 0, static_cast<LPARAM>(step.address));
        return true;
    case Step::Click:
        if (!::IsWindowEnabled(control)) {
            return Fail("disabled button", step.control);
        }
        // Posted: the click's handler may show a modal box and not return for a while.
        ::PostMessageW(control, BM_CLICK, 0, 0);
        lastClick = Clock::now();
        return true;
    case Step::Tab:
        return SwitchTab(control, step.number) || Fail("tab not switched to", step.number);
    case Step::Box:
        return CloseBox(kBoxTitle, "box", step.number, main, lastClick);
    case Step::Check:
        return CloseBox(kCheckTitle, "check", step.number, main, lastClick);
    case Step::Dialog:
        target = step.text.empty() ? main : WaitFor(Widen(step.text).c_str(), true, 20);
        return target || Fail(("no dialog " + step.text).c_str(), 0);
    case Step::Focus: {
        const HWND focus = FocusIn(control);
        if (!focus) {
            return Fail("focus not on control", step.control);
        }
        const auto selection = static_cast<DWORD>(::SendMessageW(focus, EM_GETSEL, 0, 0));
        const auto length = static_cast<DWORD>(::SendMessageW(focus, WM_GETTEXTLENGTH, 0, 0));
        const bool all = length > 0 && LOWORD(selection) == 0 && HIWORD(selection) == length;
        std::printf("focus %d: %s\n", step.control, all ? "all selected" : "not all selected");
        std::fflush(stdout);
        return true;
    }
    case Step::Adapter: {
        const HWND question = WaitFor(L"Network adapter", true, 20);
        if (!question) {
            return Fail("no adapter question", 0);
        }
        const HWND list = ::GetDlgItem(question, kAdapterList);
        const LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
        LRESULT wanted = LB_ERR;
        for (LRESULT i = 0; i < count; ++i) {
            wchar_t line[512] = {};
            if (::SendMessageW(list, LB_GETTEXTLEN, i, 0) < 511) {
                ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line));
            }
            std::printf("adapter line: %s\n", Narrow(line).c_str());
            if (wanted == LB_ERR && Narrow(line).rfind(step.text, 0) == 0) {
                wanted = i;
            }
        }
        wchar_t preselected[512] = {};
        const LRESULT current = ::SendMessageW(list, LB_GETCURSEL, 0, 0);
        if (current != LB_ERR && ::SendMessageW(list, LB_GETTEXTLEN, current, 0) < 511) {
            ::SendMessageW(list, LB_GETTEXT, current, reinterpret_cast<LPARAM>(preselected));
        }
        std::printf("adapter preselected: %s\n", Narrow(preselected).c_str());
        std::fflush(stdout);
        if (wanted == LB_ERR) {
            return Fail(("no adapter line begins with " + step.text).c_str(), 0);
        }
        ::SendMessageW(list, LB_SETCURSEL, wanted, 0);
        ::PostMessageW(question, WM_COMMAND, IDOK, 0);
        lastClick = Clock::now();
        // Gone before the next step: under Wine without a window manager, removing a
        // top-level window holds its thread for about two seconds after it is hidden,
        // which Windows does not do; the window's answers are measured from then on.
        const auto end = Clock::now() + std::chrono::seconds(5);
        while (::IsWindow(question) && ::IsWindowVisible(question) && Clock::now() < end) {
            ::Sleep(20);
        }
        ResponseMs(main);
        return true;
    }
    case Step::NoBox:
        if (HWND box = WaitFor(kBoxTitle, true, step.number)) {
            wchar_t text[2048] = {};
            ::GetDlgItemTextW(box, 0xFFFF, text, 2048);
            std::printf("box: %s\n", Narrow(text).c_str());
            return Fail("unexpected box", 0);
        }
        return true;
    case Step::Read: {
        wchar_t text[2048] = {};
        // WM_GETTEXT itself: GetWindowText gives only the caption of another process's window.
        ::SendMessageW(control, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text));
        std::printf("text %d: %s\n", step.control, Narrow(text).c_str());
        std::fflush(stdout);
        return true;
    }
    case Step::Until: {
        worstResponseMs = 0;
        const std::wstring wanted = Widen(step.text);
        const auto end = Clock::now() + std::chrono::seconds(60);
        wchar_t text[2048] = {};
        do {
            ::SendMessageW(control, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text));
            if (std::wstring(text).find(wanted) != std::wstring::npos) {
                const auto after =
                    std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastClick);
                std::printf("text %d: %s\nuntil-after-ms: %lld\nworst-response-ms: %lld\n",
                            step.control, Narrow(text).c_str(),
                            static_cast<long long>(after.count()), worstResponseMs);
                std::fflush(stdout);
                return true;
            }
            worstResponseMs = std::max(worstResponseMs, ResponseMs(main));
            ::Sleep(20);
        } while (Clock::now() < end);
        std::printf("text %d: %s\n", step.control, Narrow(text).c_str());
        return Fail("text not seen in 60 s in control", step.control);
    }
    case Step::Ready: {
        const auto end = Clock::now() + std::chrono::seconds(150);
        while (!::IsWindowEnabled(control) && Clock::now() < end) {
            ::Sleep(50);
        }
        return ::IsWindowEnabled(control) || Fail("window still busy after 150 s", 0);
    }
    case Step::Where: {
        RECT area;
        ::GetWindowRect(control, &area);
        std::printf("where %d: %ld %ld\n", step.control, (area.left + area.right) / 2,
                    (area.top + area.bottom) / 2);
        std::fflush(stdout);
        return true;
    }
    case Step::Sleep:
        ::Sleep(step.number);
        return true;
    case Step::Close: {
        ::PostMessageW(main, WM_CLOSE, 0, 0);
        // Closed once it is hidden: the handle stays valid until the process has ended,
        // which under Wine takes a further two seconds or so.
        const auto closed = [main] { return !::IsWindow(main) || !::IsWindowVisible(main); };
        const auto end = Clock::now() + std::chrono::seconds(10);
        while (!closed() && Clock::now() < end) {
            ::Sleep(20);
        }
        return closed() || Fail("window still open after close", 0);
    }
    }
    return false;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(Narrow(argv[i]));
    }
    const driver::Script script = driver::ParseScript(arguments);
    if (!script.error.empty()) {
        std::fprintf(stderr, "ui_driver: %s\n", script.error.c_str());
        return 2;
    }
    HWND main = WaitFor(kMainTitle, false, 30);
    if (!main) {
        std::fprintf(stderr, "ui_driver: no window \"Varnok 2.6\"\n");
        return 1;
    }
    Clock::time_point lastClick = Clock::now();
    HWND target = main;
    for (const driver::Step& step : script.steps) {
        if (!Run(main, target, step, lastClick)) {
            return 1;
        }
    }
    return 0;
}
