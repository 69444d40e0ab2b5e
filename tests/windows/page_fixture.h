// A page created for real as the child of a host window, driven with window messages.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <commctrl.h>
#include <gtest/gtest.h>

#include "tests/fakes/fakes.h"
#include "tests/windows/registry_support.h"
#include "win32/data_store.h"
#include "win32/registry_settings.h"

namespace testing_support {

// The recording data store, except that the technician's files (a list to import, an image
// to send, the record's export) are real files on disk, as the page's dialogs give them.
class DiskStore : public fakes::FakeStore {
public:
    std::optional<std::wstring> ExistingFile(const std::wstring& typed) override {
        return disk_.ExistingFile(typed);
    }
    std::optional<std::string> ReadFile(const std::wstring& path, FileError& error) override {
        return disk_.ReadFile(path, error);
    }
    ImageOpening OpenImage(const std::wstring& path) override { return disk_.OpenImage(path); }

private:
    Win32UserFiles disk_;
};

// A page created for real as the child of a host window, on the recording stand-ins, with
// its settings in the registry.
template <typename PageType> class PageFixture : public ::testing::Test {
protected:
    // One visible host window for the whole suite: under Wine without a window manager,
    // hiding or destroying a top-level window waits about two seconds for the X server.
    static void SetUpTestSuite() {
        host_ = ::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                  600, 500, nullptr, nullptr, nullptr, nullptr);
    }
    static void TearDownTestSuite() { ::DestroyWindow(host_); }

    void SetUp() override { DeleteSettings(); }
    void TearDown() override {
        page_.reset();
        services_.reset();
        DeleteSettings();
    }

    // The page on `services_`; a fixture may make it otherwise.
    virtual std::unique_ptr<PageType> MakePage() {
        return std::make_unique<PageType>(*services_, pc.notices);
    }
    PageType& OpenPage() {
        services_.emplace(Services{
            pc.tables, pc.echoes, clock_ ? *clock_ : pc.clock, client_ ? *client_ : pc.client,
            pc.firewall, pc.store, pc.store, settings_, pc.changes, pc.lock,
            desktop_ ? *desktop_ : pc.desktop, pc.log, pc.record, pc.neighbourhood});
        page_ = MakePage();
        EXPECT_TRUE(page_->CreateChild(host_));
        ::ShowWindow(page_->hwnd(), SW_SHOW);
        PumpUntil([this] { return !page_->Working(); }); // what its start does off the thread
        return *page_;
    }
    HWND Item(int id) const { return page_->Item(id); }
    void Click(int id) const { ::SendMessageW(Item(id), BM_CLICK, 0, 0); }
    void Type(int id, const std::wstring& text) const {
        ::SendMessageW(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    std::wstring ItemText(int id) const {
        std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(Item(id))) + 1, L'\0');
        text.resize(static_cast<std::size_t>(
            ::GetWindowTextW(Item(id), text.data(), static_cast<int>(text.size()))));
        return text;
    }
    DWORD AddressOf(int id) const {
        DWORD value = 0;
        ::SendMessageW(Item(id), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&value));
        return value;
    }

    // Pixels a list's column has to spare around `text`, in the list's font (below zero:
    // the column cuts it).
    int ColumnSpare(int list, int column, const wchar_t* text) const {
        const auto width = ::SendMessageW(Item(list), LVM_GETCOLUMNWIDTH, column, 0);
        const auto needs =
            ::SendMessageW(Item(list), LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text));
        return static_cast<int>(width - needs);
    }
    // Whether a static text, wrapped as the control wraps it in its font, fits its height.
    bool TextFits(int id) const {
        const HWND control = Item(id);
        const std::wstring text = ItemText(id);
        RECT client{};
        ::GetClientRect(control, &client);
        RECT needed = client;
        const HDC dc = ::GetDC(control);
        const HGDIOBJ old = ::SelectObject(
            dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0)));
        ::DrawTextW(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
        ::SelectObject(dc, old);
        ::ReleaseDC(control, dc);
        return needed.bottom <= client.bottom;
    }

    // Handles the thread's messages, as the program's loop does, until `done` or 20 s.
    static void PumpUntil(const std::function<bool()>& done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done() && std::chrono::steady_clock::now() < end) {
            MSG message;
            if (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&message);
                ::DispatchMessageW(&message);
            } else {
                ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            }
        }
        EXPECT_TRUE(done()) << "still waiting after 20 s";
    }

    static inline HWND host_ = nullptr;
    fakes::Pc pc{fakes::LogSwitch::Off, std::make_unique<DiskStore>()};
    RegistrySettings settings_{L"Strandel"};
    ClientProgram* client_ = nullptr; // set: the client role instead of the recording one
    Clock* clock_ = nullptr;          // set: the clock instead of the recording one
    Desktop* desktop_ = nullptr;      // set: the desktop role instead of the recording one
    std::optional<Services> services_;
    std::unique_ptr<PageType> page_;
};

} // namespace testing_support
