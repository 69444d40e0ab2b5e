// A page created for real as the child of a host window, driven with window messages.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include <commctrl.h>
#include <gtest/gtest.h>

#include "tests/fakes/fakes.h"
#include "tests/windows/registry_support.h"

namespace testing_support {

template <typename PageType, UINT TemplateId, typename SystemType = fakes::RecordingSystem>
class PageFixture : public ::testing::Test {
protected:
    // One visible host window for the whole suite: under Wine without a window manager,
    // hiding or destroying a top-level window waits about two seconds for the X server.
    static void SetUpTestSuite() {
        host_ = ::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                  600, 500, nullptr, nullptr, nullptr, nullptr);
    }
    static void TearDownTestSuite() { ::DestroyWindow(host_); }

    void SetUp() override {
        fakes::Reset();
        DeleteSettings();
    }
    void TearDown() override {
        page_.reset();
        DeleteSettings();
    }

    PageType& OpenPage() {
        page_ = std::make_unique<PageType>(system_, notices_);
        EXPECT_TRUE(page_->CreateChild(TemplateId, host_));
        ::ShowWindow(page_->hwnd(), SW_SHOW);
        return *page_;
    }
    HWND Item(int id) const { return page_->Item(id); }
    void Click(int id) const { ::SendMessageW(Item(id), BM_CLICK, 0, 0); }
    void Type(int id, const std::wstring& text) const {
        ::SendMessageW(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    DWORD AddressOf(int id) const {
        DWORD value = 0;
        ::SendMessageW(Item(id), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&value));
        return value;
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
    SystemType system_;
    fakes::RecordingNotices notices_;
    std::unique_ptr<PageType> page_;
};

} // namespace testing_support
