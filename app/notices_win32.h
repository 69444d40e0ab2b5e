// The boxes and the tone on Windows.
#pragma once

#include "app/notices.h"
#include "core/log.h"

class Win32Notices : public Notices {
public:
    explicit Win32Notices(Log& log) : Notices(log) {}
    void MessageId(unsigned id, const std::wstring& secondLine = {}) override;
    void Warn(const std::wstring& text) override;
    void Beep() override;

protected:
    void ShowBox(const std::wstring& text) override;
    void ShowAddressBox(const std::wstring& text, const std::wstring& address) override;
};
