// The update page: firmware (*.bin) and web-page (*.ROM) images go to the unit at the
// address the address page holds, checked first by the configuration ping, with a bar
// that advances once a second for the time the unit needs.
#pragma once

#include <cstdint>
#include <string>

#include "common/address.h"
#include "ui/controls.h"
#include "ui/page.h"
#include "upload/tftp.h"

class PageFile : public Page {
public:
    PageFile();
    UINT GetTemplateID() const override;

    // Each time the update tab is selected: back to idle, and this address from now on.
    void SetCurrentAddress(const IPv4Address& address, const IPv4Address& netmask,
                           const IPv4Address& gateway);

    void OnBrowseBin() { Browse(true); }
    void OnBrowseRom() { Browse(false); }
    void OnUpdateBin() { RunUpdate(true); }
    void OnUpdateRom() { RunUpdate(false); }
    void OnTransferTick(UINT_PTR id);

    // Tests shorten the one-second tick.
    void SetTickPeriodForTesting(UINT milliseconds) { tickMs_ = milliseconds; }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    void OnTimer(UINT_PTR id) override { OnTransferTick(id); }

private:
    struct Kind {
        Edit& path;
        Button& update;
        ProgressBar& progress;
        const wchar_t* setting;
        const wchar_t* extension;
        const wchar_t* filter;
        unsigned ticks;
    };
    Kind KindOf(bool firmware);

    void LoadPaths();
    void SavePaths();
    void EnableControls(bool enable);
    void Browse(bool firmware);
    void RunUpdate(bool firmware);
    void ArmTimer();
    void KillTimer();
    void AwaitClient(const Kind& kind);

    Edit binPath_;
    Button binBrowse_;
    Button binUpdate_;
    ProgressBar binProgress_;
    TFTP tftp_;
    Edit romPath_;
    Button romBrowse_;
    Button romUpdate_;
    ProgressBar romProgress_;
    IpAddressControl currentDisplay_;
    IPv4Address currentAddress_;
    IPv4Address currentNetmask_;
    IPv4Address currentGateway_;
    bool firmwareTransfer_ = false;
    bool launchSucceeded_ = false;
    bool transferRunning_ = false;
    UINT_PTR timerId_ = 0;
    unsigned ticksLeft_ = 0;
    UINT tickMs_ = 1000;
};
